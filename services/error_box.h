// The one way a failure reaches the user: a message box that joins a context
// sentence from the string table with the system's own text for the code.
#ifndef MIRELLE_ERROR_BOX_H
#define MIRELLE_ERROR_BOX_H

#include <windows.h>

// Shows the box, owned by owner when that is still a window.  The context
// string may use %1!d! (the code, as a signed decimal), %2 (the system text)
// and %n.  While one box is up, further calls show nothing.
void ReportError(HWND owner, DWORD code, UINT contextId, UINT captionId);

// ReportError unless code is 0.
void ReportErrorIfAny(HWND owner, DWORD code, UINT contextId, UINT captionId);

#endif
