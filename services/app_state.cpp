#include "app_state.h"

HINSTANCE ModuleInstance = NULL;
HWND MainWindowHandle = NULL;
VS_FIXEDFILEINFO VersionRecord = {};
