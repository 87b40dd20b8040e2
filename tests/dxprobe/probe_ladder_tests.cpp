// The DirectX probe run in a process of its own under a debugger, once per rung of its
// ladder: the system's DirectX libraries are made absent with Wine's DLL overrides, or
// replaced by stand-ins beside the program that fail where the case needs. Each case
// checks the version code, the exact debugger output and that nothing was left held.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "debugged_run.h"
#include "wine_dll_overrides.h"
#include "test_support.h"

namespace {

struct LadderCase {
    const char* name;
    const char* ddrawStandin;   // folder of the stand-in DDRAW.DLL to use, or null for the system's
    bool dinputStandin;         // use the DINPUT.DLL without "DirectInputCreateA"
    const char* failingCall;    // the call the stand-in DDRAW.DLL fails, or ""
    const char* absent;         // the system library made absent, or ""
    DWORD expectedVersion;
    const char* expectedDebugLine;  // null: nothing written
};

const char* const kDdraw = STANDIN_DDRAW_DIR;
const char* const kDdrawWithoutCreate = STANDIN_DDRAW_WITHOUT_CREATE_DIR;
const char* const kDdrawWithoutCreateEx = STANDIN_DDRAW_WITHOUT_CREATE_EX_DIR;

const LadderCase kLadder[] = {
    {"default Wine set-up", nullptr, false, "", "", 0x801, nullptr},
    {"no DDRAW.DLL", nullptr, false, "", "ddraw", 0, "Couldn't LoadLibrary DDraw\r\n"},
    {"no DirectDrawCreate", kDdrawWithoutCreate, false, "", "", 0, "Couldn't GetProcAddress DirectDrawCreate\r\n"},
    {"DirectDrawCreate fails", kDdraw, false, "create", "", 0, "Couldn't create DDraw\r\n"},
    {"no IDirectDraw2", kDdraw, false, "ddraw2", "", 0x100, "Couldn't QI DDraw2\r\n"},
    {"no DINPUT.DLL", kDdraw, false, "", "dinput", 0x200, "Couldn't LoadLibrary DInput\r\n"},
    {"no DirectInputCreateA", kDdraw, true, "", "", 0x200, "Couldn't GetProcAddress DInputCreate\r\n"},
    {"cooperative level refused", kDdraw, false, "coop", "", 0, "Couldn't Set coop level\r\n"},
    {"no primary surface", kDdraw, false, "surface", "", 0, "Couldn't CreateSurface\r\n"},
    {"no IDirectDrawSurface3", kDdraw, false, "dds3", "", 0x300, "Couldn't QI DDS3\r\n"},
    {"no IDirectDrawSurface4", kDdraw, false, "dds4", "", 0x500, "Couldn't QI DDS4\r\n"},
    {"DirectMusic not creatable, later libraries present", kDdraw, false, "", "dmusic", 0x600,
     "Couldn't create CLSID_DirectMusic\r\n"},
    {"no DirectDrawCreateEx", kDdrawWithoutCreateEx, false, "", "", 0x601,
     "Couldn't GetProcAddress DirectDrawCreateEx\r\n"},
    {"DirectDrawCreateEx fails", kDdraw, false, "createex", "", 0x601, "Couldn't DirectDrawCreateEx\r\n"},
    {"no D3D8.DLL", kDdraw, false, "", "d3d8", 0x700, "Couldn't LoadLibrary D3D8.DLL\r\n"},
    {"D3D8.DLL without dpnhpast.dll", kDdraw, false, "", "dpnhpast", 0x800, "Couldn't LoadLibrary dpnhpast.dll\r\n"},
    {"every rung passes on the stand-in DirectDraw", kDdraw, false, "", "", 0x801, nullptr},
};

// Wine loads its own copy of a system library even when one lies beside the program;
// "native" makes it take the one beside the program, "" makes the library absent.
std::vector<std::pair<std::string, std::string>> LoadOrders(const LadderCase& c)
{
    std::vector<std::pair<std::string, std::string>> orders;
    if (c.ddrawStandin)
        orders.push_back({"ddraw", "native"});
    if (c.dinputStandin)
        orders.push_back({"dinput", "native"});
    if (*c.absent)
        orders.push_back({c.absent, ""});
    return orders;
}

std::string Hex(DWORD value)
{
    char text[16] = {};
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

TEST(DirectXProbe, EachRungOfTheLadderStopsWithItsCodeAndDebuggerLine)
{
    for (const LadderCase& c : kLadder) {
        SCOPED_TRACE(c.name);
        TempFolder folder(false);
        ASSERT_TRUE(CopyFileOver(HostPath(PROBE_RUNNER_EXE), folder.File("probe_runner.exe")));
        if (c.ddrawStandin) {
            ASSERT_TRUE(CopyFileOver(HostPath(std::string(c.ddrawStandin) + "/ddraw.dll"), folder.File("ddraw.dll")));
        }
        if (c.dinputStandin) {
            ASSERT_TRUE(CopyFileOver(HostPath(STANDIN_DINPUT_DIR "/dinput.dll"), folder.File("dinput.dll")));
        }
        WineDllOverrides overrides("probe_runner.exe", LoadOrders(c));
        ASSERT_TRUE(overrides.Written());

        DebuggedRun run = RunUnderDebugger(folder.File("probe_runner.exe"), folder.Path(),
                                           {std::string("DXSTANDIN_FAIL=") + c.failingCall}, 30000);
        ASSERT_TRUE(run.started);
        ASSERT_TRUE(run.finished) << "the probe did not end";
        EXPECT_EQ(Hex(c.expectedVersion), Hex(run.exitCode));

        std::vector<std::string> expectedOutput;
        if (c.expectedDebugLine)
            expectedOutput.push_back(c.expectedDebugLine);
        EXPECT_EQ(expectedOutput, run.debugOutput);

        // What the probe left loaded, alive or initialised, and any call a stand-in refused.
        ASSERT_TRUE(FileExists(folder.File("findings.txt")));
        std::vector<unsigned char> findings = ReadFileBytes(folder.File("findings.txt"));
        EXPECT_EQ("", std::string(findings.begin(), findings.end()));
    }
}

}
