// A DDRAW.DLL that a test puts beside the probe in place of the system's. It answers
// every call the probe makes, checks that the call is made the way the real library
// expects, and fails the one call that the test names in DXSTANDIN_FAIL.
//
// What the probe leaves behind must be visible after the library is gone, so the
// stand-in keeps its findings in the process environment:
//   DXSTANDIN_LIVE_OBJECTS  objects created and not yet released
//   DXSTANDIN_BAD_CALL      the first call made with arguments the real library refuses
#define CINTERFACE
#include <windows.h>
#include <ddraw.h>

#include <cstdio>
#include <cstring>

namespace {

LONG g_nLiveObjects = 0;

void CountObjects(LONG change)
{
    g_nLiveObjects += change;
    char text[16] = {};
    std::snprintf(text, sizeof text, "%ld", g_nLiveObjects);
    SetEnvironmentVariableA("DXSTANDIN_LIVE_OBJECTS", text);
}

// Only the first wrong call is kept: later ones usually follow from it.
void ReportBadCall(const char* what)
{
    if (GetEnvironmentVariableA("DXSTANDIN_BAD_CALL", nullptr, 0) == 0)
        SetEnvironmentVariableA("DXSTANDIN_BAD_CALL", what);
}

bool ShouldFail(const char* call)
{
    char fail[32] = {};
    GetEnvironmentVariableA("DXSTANDIN_FAIL", fail, sizeof fail);
    return std::strcmp(fail, call) == 0;
}

// Both kinds of object are one interface pointer followed by a reference count; every
// interface the probe asks for is answered with the same object, because the probe
// only releases what it gets.
struct Object {
    const void* vtbl;
    LONG nRefs;
};

Object* NewObject(const void* vtbl)
{
    Object* object = new Object{vtbl, 1};
    CountObjects(1);
    return object;
}

ULONG AddRefObject(void* self)
{
    return InterlockedIncrement(&static_cast<Object*>(self)->nRefs);
}

ULONG ReleaseObject(void* self)
{
    Object* object = static_cast<Object*>(self);
    LONG left = InterlockedDecrement(&object->nRefs);
    if (left == 0) {
        delete object;
        CountObjects(-1);
    }
    return left;
}

HRESULT Answer(void* self, bool supported, void** out)
{
    if (!out)
        return E_POINTER;
    if (!supported) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRefObject(self);
    *out = self;
    return S_OK;
}

HRESULT WINAPI SurfaceQueryInterface(IDirectDrawSurface* self, REFIID iid, void** out)
{
    bool supported = IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDirectDrawSurface) ||
                     IsEqualGUID(iid, IID_IDirectDrawSurface2) ||
                     (IsEqualGUID(iid, IID_IDirectDrawSurface3) && !ShouldFail("dds3")) ||
                     (IsEqualGUID(iid, IID_IDirectDrawSurface4) && !ShouldFail("dds4"));
    return Answer(self, supported, out);
}

ULONG WINAPI SurfaceAddRef(IDirectDrawSurface* self)
{
    return AddRefObject(self);
}

ULONG WINAPI SurfaceRelease(IDirectDrawSurface* self)
{
    return ReleaseObject(self);
}

const IDirectDrawSurfaceVtbl* SurfaceVtbl()
{
    static IDirectDrawSurfaceVtbl vtbl = {};
    vtbl.QueryInterface = SurfaceQueryInterface;
    vtbl.AddRef = SurfaceAddRef;
    vtbl.Release = SurfaceRelease;
    return &vtbl;
}

HRESULT WINAPI DirectDrawQueryInterface(IDirectDraw* self, REFIID iid, void** out)
{
    bool supported = IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDirectDraw) ||
                     (IsEqualGUID(iid, IID_IDirectDraw2) && !ShouldFail("ddraw2"));
    return Answer(self, supported, out);
}

ULONG WINAPI DirectDrawAddRef(IDirectDraw* self)
{
    return AddRefObject(self);
}

ULONG WINAPI DirectDrawRelease(IDirectDraw* self)
{
    return ReleaseObject(self);
}

HRESULT WINAPI DirectDrawSetCooperativeLevel(IDirectDraw*, HWND window, DWORD flags)
{
    if (window != nullptr || flags != DDSCL_NORMAL) {
        ReportBadCall("SetCooperativeLevel");
        return DDERR_INVALIDPARAMS;
    }
    return ShouldFail("coop") ? DDERR_EXCLUSIVEMODEALREADYSET : DD_OK;
}

// The primary surface is asked for with nothing but its capability set: any other
// field would ask for something the primary surface cannot be given.
bool IsPlainPrimarySurfaceRequest(const DDSURFACEDESC* desc)
{
    if (!desc || desc->dwSize != 108 || desc->dwFlags != DDSD_CAPS ||
        desc->ddsCaps.dwCaps != DDSCAPS_PRIMARYSURFACE)
        return false;
    DDSURFACEDESC expected = {};
    expected.dwSize = 108;
    expected.dwFlags = DDSD_CAPS;
    expected.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    return std::memcmp(desc, &expected, 108) == 0;
}

HRESULT WINAPI DirectDrawCreateSurface(IDirectDraw*, DDSURFACEDESC* desc, IDirectDrawSurface** out,
                                       IUnknown* outer)
{
    if (!out || outer || !IsPlainPrimarySurfaceRequest(desc)) {
        ReportBadCall("CreateSurface");
        return DDERR_INVALIDPARAMS;
    }
    if (ShouldFail("surface"))
        return DDERR_NOEXCLUSIVEMODE;
    *out = reinterpret_cast<IDirectDrawSurface*>(NewObject(SurfaceVtbl()));
    return DD_OK;
}

const IDirectDrawVtbl* DirectDrawVtbl()
{
    static IDirectDrawVtbl vtbl = {};
    vtbl.QueryInterface = DirectDrawQueryInterface;
    vtbl.AddRef = DirectDrawAddRef;
    vtbl.Release = DirectDrawRelease;
    vtbl.SetCooperativeLevel = DirectDrawSetCooperativeLevel;
    vtbl.CreateSurface = DirectDrawCreateSurface;
    return &vtbl;
}

}

extern "C" HRESULT WINAPI DirectDrawCreate(GUID* device, IDirectDraw** out, IUnknown* outer)
{
    if (device || !out || outer) {
        ReportBadCall("DirectDrawCreate");
        return DDERR_INVALIDPARAMS;
    }
    if (ShouldFail("create"))
        return DDERR_NODIRECTDRAWHW;
    *out = reinterpret_cast<IDirectDraw*>(NewObject(DirectDrawVtbl()));
    return DD_OK;
}

extern "C" HRESULT WINAPI DirectDrawCreateEx(GUID* device, void** out, REFIID iid, IUnknown* outer)
{
    if (device || !out || outer || !IsEqualGUID(iid, IID_IDirectDraw7)) {
        ReportBadCall("DirectDrawCreateEx");
        return DDERR_INVALIDPARAMS;
    }
    if (ShouldFail("createex"))
        return DDERR_NODIRECTDRAWHW;
    *out = NewObject(DirectDrawVtbl());
    return DD_OK;
}
