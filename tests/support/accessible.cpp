#include "tests/support/accessible.h"

// Defines IID_IAccessible here rather than taking it from a library.
#include <initguid.h>
#include <oleacc.h>

namespace {

std::string Taken(BSTR text)
{
    char buffer[512] = "";
    WideCharToMultiByte(CP_ACP, 0, text != NULL ? text : L"", -1, buffer, sizeof buffer, NULL, NULL);
    SysFreeString(text);
    return buffer;
}

} // namespace

bool ReadAccessibleFacts(HWND window, AccessibleFacts* facts)
{
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    IAccessible* accessible = NULL;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible)))) {
        return false;
    }
    VARIANT self, state;
    VariantInit(&state);
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = NULL, value = NULL;
    accessible->get_accName(self, &name);
    accessible->get_accValue(self, &value);
    accessible->get_accState(self, &state);
    facts->name = Taken(name);
    facts->value = Taken(value);
    facts->state = state.vt == VT_I4 ? state.lVal : 0;
    accessible->Release();
    return true;
}
