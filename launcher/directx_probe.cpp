// Finds the installed DirectX release without linking against any of it: the launcher
// must start on a machine without DirectX to be able to say what is missing. Each rung
// of the ladder loads a library, looks up an entry point or creates an object that a
// release introduced; the first rung that fails decides the answer.
#include "directx_probe.h"

#include <ddraw.h>
#include <objbase.h>

namespace {

// The identifiers are spelled out here so that the probe needs no DirectX import library.
const GUID kIidDirectDraw2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const GUID kIidDirectDrawSurface3 = {0xDA044E00, 0x69B2, 0x11D0, {0xA1, 0xD5, 0x00, 0xAA, 0x00, 0xB8, 0xDF, 0xBB}};
const GUID kIidDirectDrawSurface4 = {0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const GUID kClsidDirectMusic = {0x636B9F10, 0x0C7D, 0x11D1, {0x95, 0xB2, 0x00, 0x20, 0xAF, 0xDC, 0x74, 0x21}};
const GUID kIidDirectMusic = {0x6536115A, 0x7B2D, 0x11D2, {0xBA, 0x18, 0x00, 0x00, 0xF8, 0x75, 0xAC, 0x12}};
const GUID kIidDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

// The primary surface is asked for with the DirectX 3 description, whatever the release.
static_assert(sizeof(DDSURFACEDESC) == 108, "surface description must be the 108-byte layout");

typedef HRESULT(WINAPI* DirectDrawCreateFunction)(GUID*, IDirectDraw**, IUnknown*);
typedef HRESULT(WINAPI* DirectDrawCreateExFunction)(GUID*, void**, REFIID, IUnknown*);

// A FARPROC only becomes callable with its real signature; going through void* keeps
// compilers from warning about the cast between unrelated function types.
template <typename Function>
Function LookUp(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

bool SupportsInterface(IUnknown* object, const GUID& iid)
{
    void* other = nullptr;
    if (FAILED(object->QueryInterface(iid, &other)))
        return false;
    static_cast<IUnknown*>(other)->Release();
    return true;
}

bool HasDirectInput()
{
    HMODULE dinput = LoadLibraryA("DINPUT.DLL");
    if (!dinput) {
        OutputDebugStringA("Couldn't LoadLibrary DInput\r\n");
        return false;
    }
    bool found = GetProcAddress(dinput, "DirectInputCreateA") != nullptr;
    if (!found)
        OutputDebugStringA("Couldn't GetProcAddress DInputCreate\r\n");
    FreeLibrary(dinput);
    return found;
}

DWORD ProbeSurfaceInterfaces(IDirectDrawSurface* surface)
{
    if (!SupportsInterface(surface, kIidDirectDrawSurface3)) {
        OutputDebugStringA("Couldn't QI DDS3\r\n");
        return 0x300;
    }
    if (!SupportsInterface(surface, kIidDirectDrawSurface4)) {
        OutputDebugStringA("Couldn't QI DDS4\r\n");
        return 0x500;
    }
    return 0x600;
}

DWORD ProbePrimarySurface(IDirectDraw* ddraw)
{
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface* surface = nullptr;
    if (FAILED(ddraw->CreateSurface(&desc, &surface, nullptr))) {
        OutputDebugStringA("Couldn't CreateSurface\r\n");
        return 0;
    }
    DWORD version = ProbeSurfaceInterfaces(surface);
    surface->Release();
    return version;
}

// A DirectDraw that cannot set the normal level or make a primary surface is no use to
// the game whatever its interfaces claim, so those two rungs answer 0.
DWORD ProbeDirectDrawObject(IDirectDraw* ddraw)
{
    if (!SupportsInterface(ddraw, kIidDirectDraw2)) {
        OutputDebugStringA("Couldn't QI DDraw2\r\n");
        return 0x100;
    }
    if (!HasDirectInput())
        return 0x200;
    if (FAILED(ddraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) {
        OutputDebugStringA("Couldn't Set coop level\r\n");
        return 0;
    }
    return ProbePrimarySurface(ddraw);
}

DWORD ProbeDirectDraw(HMODULE ddrawLibrary)
{
    DirectDrawCreateFunction create = LookUp<DirectDrawCreateFunction>(ddrawLibrary, "DirectDrawCreate");
    if (!create) {
        OutputDebugStringA("Couldn't GetProcAddress DirectDrawCreate\r\n");
        return 0;
    }
    IDirectDraw* ddraw = nullptr;
    if (FAILED(create(nullptr, &ddraw, nullptr))) {
        OutputDebugStringA("Couldn't create DDraw\r\n");
        return 0;
    }
    DWORD version = ProbeDirectDrawObject(ddraw);
    ddraw->Release();
    return version;
}

// COM is set up for this one creation only. A thread that already had COM in another
// mode keeps it: only an initialisation that succeeded here is undone here.
bool CanCreateDirectMusic()
{
    HRESULT init = CoInitialize(nullptr);
    IUnknown* music = nullptr;
    HRESULT created = CoCreateInstance(kClsidDirectMusic, nullptr, CLSCTX_INPROC_SERVER, kIidDirectMusic,
                                       reinterpret_cast<void**>(&music));
    if (SUCCEEDED(created))
        music->Release();
    if (SUCCEEDED(init))
        CoUninitialize();
    if (FAILED(created))
        OutputDebugStringA("Couldn't create CLSID_DirectMusic\r\n");
    return SUCCEEDED(created);
}

bool CanCreateDirectDraw7(HMODULE ddrawLibrary)
{
    DirectDrawCreateExFunction createEx = LookUp<DirectDrawCreateExFunction>(ddrawLibrary, "DirectDrawCreateEx");
    if (!createEx) {
        OutputDebugStringA("Couldn't GetProcAddress DirectDrawCreateEx\r\n");
        return false;
    }
    IUnknown* ddraw7 = nullptr;
    if (FAILED(createEx(nullptr, reinterpret_cast<void**>(&ddraw7), kIidDirectDraw7, nullptr))) {
        OutputDebugStringA("Couldn't DirectDrawCreateEx\r\n");
        return false;
    }
    ddraw7->Release();
    return true;
}

// DirectX 8.0 brought D3D8.DLL; 8.1 added the NAT helper dpnhpast.dll.
DWORD ProbeDirectX8()
{
    HMODULE d3d8 = LoadLibraryA("D3D8.DLL");
    if (!d3d8) {
        OutputDebugStringA("Couldn't LoadLibrary D3D8.DLL\r\n");
        return 0x700;
    }
    DWORD version = 0x801;
    HMODULE natHelper = LoadLibraryA("dpnhpast.dll");
    if (natHelper) {
        FreeLibrary(natHelper);
    } else {
        OutputDebugStringA("Couldn't LoadLibrary dpnhpast.dll\r\n");
        version = 0x800;
    }
    FreeLibrary(d3d8);
    return version;
}

DWORD ProbeFromDirectDraw(HMODULE ddrawLibrary)
{
    DWORD version = ProbeDirectDraw(ddrawLibrary);
    if (version < 0x600)
        return version;
    if (!CanCreateDirectMusic())
        return 0x600;
    if (!CanCreateDirectDraw7(ddrawLibrary))
        return 0x601;
    return ProbeDirectX8();
}

}

DWORD DetectDirectXVersion()
{
    HMODULE ddrawLibrary = LoadLibraryA("DDRAW.DLL");
    if (!ddrawLibrary) {
        OutputDebugStringA("Couldn't LoadLibrary DDraw\r\n");
        return 0;
    }
    DWORD version = ProbeFromDirectDraw(ddrawLibrary);
    FreeLibrary(ddrawLibrary);
    return version;
}
