// A DINPUT.DLL that a test puts beside the probe in place of the system's: it has the
// wide-character entry point but not the narrow one the probe looks for.
#include <windows.h>

extern "C" HRESULT WINAPI DirectInputCreateW(HINSTANCE, DWORD, void** out, void*)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}
