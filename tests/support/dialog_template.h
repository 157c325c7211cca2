// Reads a dialog template (the classic DLGTEMPLATE form that the resource
// compiler writes for DIALOG statements) out of a module's resources, so tests
// can check every style bit, size and id as stored.
#ifndef MIRELLE_TESTS_DIALOG_TEMPLATE_H
#define MIRELLE_TESTS_DIALOG_TEMPLATE_H

#include <windows.h>

#include <string>
#include <vector>

struct DialogItemTemplate {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    WORD id;
    std::string windowClass;  // predefined classes by name: "BUTTON", "EDIT", "STATIC", ...
    std::string text;         // an ordinal text reads as "#<number>"
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::string menu;
    std::string windowClass;
    std::string title;
    WORD pointSize;
    std::string faceName;
    std::vector<DialogItemTemplate> items;
};

// False when the module has no such dialog or it is not a classic template.
bool ReadDialogTemplate(HMODULE module, WORD id, DialogTemplate* out);

#endif
