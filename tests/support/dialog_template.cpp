#include "tests/support/dialog_template.h"

#include <cstdio>
#include <cstring>

namespace {

// The template is a run of WORDs; strings are UTF-16 and DWORD-aligned items.
struct Reader {
    const BYTE* base;
    const BYTE* at;

    WORD Word()
    {
        WORD value;
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }

    DWORD Dword()
    {
        DWORD value;
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }

    std::string WideString()
    {
        std::string text;
        for (WORD c = Word(); c != 0; c = Word()) {
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return text;
    }

    // A string, or 0xFFFF followed by an ordinal.
    std::string NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF) {
            char number[16];
            std::snprintf(number, sizeof number, "#%u", Word());
            return number;
        }
        if (first == 0) {
            return std::string();
        }
        at -= sizeof(WORD);
        return WideString();
    }

    void AlignDword()
    {
        size_t offset = static_cast<size_t>(at - base);
        at = base + ((offset + 3) & ~static_cast<size_t>(3));
    }
};

std::string PredefinedClass(const std::string& name)
{
    if (name == "#128") return "BUTTON";
    if (name == "#129") return "EDIT";
    if (name == "#130") return "STATIC";
    if (name == "#131") return "LISTBOX";
    if (name == "#132") return "SCROLLBAR";
    if (name == "#133") return "COMBOBOX";
    return name;
}

} // namespace

bool ReadDialogTemplate(HMODULE module, WORD id, DialogTemplate* out)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    if (resource == NULL) {
        return false;
    }
    HGLOBAL loaded = LoadResource(module, resource);
    const BYTE* data = static_cast<const BYTE*>(LockResource(loaded));
    if (data == NULL) {
        return false;
    }
    Reader r = { data, data };
    out->style = r.Dword();
    if (HIWORD(out->style) == 0xFFFF) {
        return false;  // DLGTEMPLATEEX; not used by this program
    }
    out->exStyle = r.Dword();
    WORD count = r.Word();
    out->x = static_cast<short>(r.Word());
    out->y = static_cast<short>(r.Word());
    out->cx = static_cast<short>(r.Word());
    out->cy = static_cast<short>(r.Word());
    out->menu = r.NameOrOrdinal();
    out->windowClass = r.NameOrOrdinal();
    out->title = r.WideString();
    out->pointSize = 0;
    if (out->style & DS_SETFONT) {
        out->pointSize = r.Word();
        out->faceName = r.WideString();
    }
    out->items.clear();
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        DialogItemTemplate item;
        item.style = r.Dword();
        item.exStyle = r.Dword();
        item.x = static_cast<short>(r.Word());
        item.y = static_cast<short>(r.Word());
        item.cx = static_cast<short>(r.Word());
        item.cy = static_cast<short>(r.Word());
        item.id = r.Word();
        item.windowClass = PredefinedClass(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        WORD extra = r.Word();
        r.at += extra;
        out->items.push_back(item);
    }
    return true;
}
