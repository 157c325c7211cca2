// What a screen reader is told of a window's client area: the proxy that
// oleacc makes for a standard control, in this process or another.
#ifndef MIRELLE_TESTS_ACCESSIBLE_H
#define MIRELLE_TESTS_ACCESSIBLE_H

#include <windows.h>

#include <string>

struct AccessibleFacts {
    std::string name;
    std::string value;
    LONG state;  // STATE_SYSTEM_* bits
};

bool ReadAccessibleFacts(HWND window, AccessibleFacts* facts);

#endif
