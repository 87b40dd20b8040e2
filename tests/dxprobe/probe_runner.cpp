// Runs the DirectX probe once, the way the launcher does, and then looks for what it
// left behind. The exit code is the version code; "findings.txt" in the working folder
// gets one line per library, object or COM initialisation still held and per call a
// stand-in refused (empty when the probe behaved).
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "directx_probe.h"

static bool IsFromSystemFolder(HMODULE library)
{
    char path[MAX_PATH] = {};
    char system[MAX_PATH] = {};
    GetModuleFileNameA(library, path, MAX_PATH);
    UINT n = GetSystemDirectoryA(system, MAX_PATH);
    return n > 0 && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path, n, system, n) == CSTR_EQUAL &&
           path[n] == '\\';
}

static std::vector<std::string> Findings()
{
    std::vector<std::string> findings;
    for (const char* name : {"ddraw.dll", "dinput.dll", "d3d8.dll", "dpnhpast.dll"}) {
        HMODULE library = GetModuleHandleA(name);
        if (!library)
            continue;
        // Wine's own DDRAW.DLL pins itself when it is loaded (it subclasses windows and
        // must outlive them), so only a stand-in's unloading tells whether it was freed.
        if (lstrcmpiA(name, "ddraw.dll") == 0 && IsFromSystemFolder(library))
            continue;
        findings.push_back(std::string(name) + " still loaded");
    }

    // A thread left in the single-threaded apartment refuses the multithreaded one.
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (com != S_OK)
        findings.push_back("COM still initialised");
    if (SUCCEEDED(com))
        CoUninitialize();

    char text[64] = {};
    if (GetEnvironmentVariableA("DXSTANDIN_LIVE_OBJECTS", text, sizeof text) && std::string(text) != "0")
        findings.push_back(std::string(text) + " stand-in DirectDraw objects not released");
    if (GetEnvironmentVariableA("DXSTANDIN_BAD_CALL", text, sizeof text))
        findings.push_back(std::string("stand-in refused ") + text);
    return findings;
}

int main()
{
    DWORD version = DetectDirectXVersion();
    FILE* out = std::fopen("findings.txt", "wb");
    if (!out)
        return -1;
    for (const std::string& finding : Findings())
        std::fprintf(out, "%s\n", finding.c_str());
    std::fclose(out);
    return static_cast<int>(version);
}
