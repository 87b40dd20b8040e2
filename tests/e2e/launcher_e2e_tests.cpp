// The real Kestrune.exe as a player's machine runs it: installed in a folder of its own
// beside the game, the wizard and the shipped defaults, driven from another process
// through window messages; checked by its exit code, the options file it leaves and the
// program it starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const size_t kSinglePlayerOffset = 56;

struct RunCase {
    const char* name;
    const char* driverCommands;
    bool multiPlayer;        // the options file is expected with single player cleared
    bool optionsWritten;
    const char* program;     // started with the options, or nullptr
};
void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }

const RunCase kRunCases[] = {
    {"StartWithTheShippedDefaultsRunsTheGame", "press 1", false, true, "quarv.exe"},
    {"MultiPlayerThenStartRunsTheWizard", "press 1005 press 1", true, true, "Hollagrin.exe"},
    {"EnterIsStart", "key 13", false, true, "quarv.exe"},
    {"QuitWritesNothing", "tab 1 press 1009 press 2", false, false, nullptr},
    {"EscIsQuit", "key 27", false, false, nullptr},
    {"CloseBoxWritesNothing", "close", false, false, nullptr},
};

class LauncherRunTest : public ::testing::TestWithParam<RunCase> {
protected:
    // Runs a program to its end in the test's folder and returns its exit code.
    static DWORD RunToEnd(const std::string& commandLine, const std::string& folder, DWORD timeoutMs,
                          PROCESS_INFORMATION* keep = nullptr);
};

DWORD LauncherRunTest::RunToEnd(const std::string& commandLine, const std::string& folder, DWORD timeoutMs,
                                PROCESS_INFORMATION* keep)
{
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
        return ~0u;
    }
    if (keep) {
        *keep = process;
        return 0;
    }
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        ADD_FAILURE() << commandLine << " did not end within " << timeoutMs << " ms";
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

} // namespace

TEST_P(LauncherRunTest, ExitCodeOptionsFileAndStartedProgram)
{
    const RunCase& c = GetParam();
    TempFolder folder(false);
    // As installed: the launcher beside the game, the wizard and the shipped defaults, so
    // the programs it starts are the stand-ins in this folder.
    ASSERT_TRUE(CopyFileOver(HostPath(KESTRUNE_EXE), folder.File("Kestrune.exe")));
    ASSERT_TRUE(CopyFileOver(HostPath(KESTRUNE_DEFAULT_OPTIONS), folder.File("defoptions.bin")));
    ASSERT_TRUE(CopyFileOver(StandinGamePath(), folder.File("quarv.exe")));
    ASSERT_TRUE(CopyFileOver(StandinGamePath(), folder.File("Hollagrin.exe")));
    std::vector<unsigned char> shipped = ReadFileBytes(folder.File("defoptions.bin"));
    ASSERT_EQ(164u, shipped.size());

    PROCESS_INFORMATION launcher = {};
    RunToEnd("\"" + folder.File("Kestrune.exe") + "\"", folder.Path(), 0, &launcher);
    ASSERT_NE(nullptr, launcher.hProcess);

    std::string driver = "\"" + HostPath(LAUNCHER_DRIVER_EXE) + "\" --pid " + std::to_string(launcher.dwProcessId) +
                         " wait " + c.driverCommands;
    EXPECT_EQ(0u, RunToEnd(driver, folder.Path(), 30000)) << "the driver found no dialog to drive";

    DWORD exitCode = ~0u;
    if (WaitForSingleObject(launcher.hProcess, 15000) == WAIT_OBJECT_0)
        GetExitCodeProcess(launcher.hProcess, &exitCode);
    else
        TerminateProcess(launcher.hProcess, 1);
    CloseHandle(launcher.hThread);
    CloseHandle(launcher.hProcess);
    EXPECT_EQ(0u, exitCode);

    if (c.optionsWritten) {
        std::vector<unsigned char> expected = shipped;
        if (c.multiPlayer)
            expected[kSinglePlayerOffset] = 0;
        EXPECT_EQ(expected, ReadFileBytes(folder.File("options.bin")));
    } else {
        EXPECT_FALSE(FileExists(folder.File("options.bin")));
    }
    if (c.program) {
        std::string record = folder.File(std::string(c.program) + ".ran");
        ASSERT_TRUE(WaitForFile(record, 10000)) << c.program << " did not run";
        std::vector<unsigned char> bytes = ReadFileBytes(record);
        std::string text(bytes.begin(), bytes.end());
        EXPECT_NE(std::string::npos, text.find("options.bin=164\n")) << text;
        EXPECT_NE(std::string::npos, text.find("cwd=" + folder.Path() + "\n")) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Kestrune, LauncherRunTest, ::testing::ValuesIn(kRunCases),
                         [](const ::testing::TestParamInfo<RunCase>& info) { return info.param.name; });
