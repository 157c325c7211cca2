// Placing a dialog over the middle of its owner.
#ifndef MIRELLE_CENTERING_H
#define MIRELLE_CENTERING_H

#include <windows.h>

// Centres the window over its parent or owner.
void CenterOverParent(HWND window);

// Centres the window over the other window's window rectangle.
void CenterOverWindow(HWND window, HWND other);

// Centres the window over a rectangle in screen coordinates; keeps its size
// and Z order, and does not clamp to the screen.
void CenterOverRect(HWND window, const RECT* rectangle);

#endif
