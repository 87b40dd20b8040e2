// The real Kestrune.exe started as a player would start it, with DirectX made too old
// for it through Wine's DLL overrides: it must ask the one question, open the download
// page only when told to, and end with exit code 1 without showing anything else. With
// the default Wine set-up it must get past the check and show its options dialog.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "message_box_watcher.h"
#include "test_support.h"
#include "web_opener.h"
#include "wine_dll_overrides.h"

namespace {

const char kRefusalText[] = "DirectX 8.1 not detected. Do you want to download it?";
const char kRefusalCaption[] = "DIRECTX ERROR";
const char kOptionsDialogCaption[] = "Q.U.A.R.V. Options Menu";
const DWORD kTimeoutMs = 20000;

// The launcher in a folder of its own with what it ships with, and a stand-in program
// that the shell starts in place of a browser.
class LauncherFolder {
public:
    LauncherFolder() : folder_(false)
    {
        copied_ = CopyFileOver(HostPath(KESTRUNE_EXE), folder_.File("Kestrune.exe")) &&
                  CopyFileOver(HostPath(KESTRUNE_DEFAULT_OPTIONS), folder_.File("defoptions.bin")) &&
                  CopyFileOver(StandinGamePath(), folder_.File("opener.exe"));
    }
    bool Copied() const { return copied_; }
    const TempFolder& Folder() const { return folder_; }

private:
    TempFolder folder_;
    bool copied_;
};

bool StartLauncher(const TempFolder& folder, PROCESS_INFORMATION* process)
{
    std::string program = folder.File("Kestrune.exe");
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.Path().c_str(), &startup, process) != 0;
}

// Waits for the launcher to end, ending it after the time limit, and gives its exit code.
DWORD EndLauncher(PROCESS_INFORMATION* process, DWORD timeoutMs)
{
    if (WaitForSingleObject(process->hProcess, timeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(process->hProcess, STILL_ACTIVE);
    WaitForSingleObject(process->hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process->hProcess, &exitCode);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    return exitCode;
}

bool IsProcessRunning(const char* fileName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    bool running = false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && !running; more = Process32Next(snapshot, &entry))
        running = lstrcmpiA(entry.szExeFile, fileName) == 0;
    CloseHandle(snapshot);
    return running;
}

struct FoundDialog {
    DWORD processId;
    HWND dialog;
};

BOOL CALLBACK FindOptionsDialog(HWND window, LPARAM param)
{
    FoundDialog* found = reinterpret_cast<FoundDialog*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (pid == found->processId && IsWindowVisible(window) && lstrcmpA(caption, kOptionsDialogCaption) == 0) {
        found->dialog = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForOptionsDialog(DWORD processId, HANDLE process, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        FoundDialog found = {processId, nullptr};
        EnumWindows(FindOptionsDialog, reinterpret_cast<LPARAM>(&found));
        if (found.dialog)
            return found.dialog;
        if (GetTickCount() - start >= timeoutMs || WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
            return nullptr;
        Sleep(20);
    }
}

struct RefusedCase {
    const char* name;
    const char* absent;  // the library made absent
};

TEST(DirectXRefusal, BelowDirectX81AnsweringNoEndsWithCode1AndOpensNothing)
{
    const RefusedCase cases[] = {
        {"no DirectDraw at all", "ddraw"},
        {"DirectX 8.0, without dpnhpast.dll", "dpnhpast"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        LauncherFolder launcher;
        ASSERT_TRUE(launcher.Copied());
        WebOpener opener(launcher.Folder().File("opener.exe"));
        ASSERT_TRUE(opener.Registered());
        WineDllOverrides overrides("Kestrune.exe", {{c.absent, ""}});
        ASSERT_TRUE(overrides.Written());

        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(StartLauncher(launcher.Folder(), &process));
        MessageBoxWatcher watcher(IDNO, process.dwProcessId);
        bool answered = watcher.WaitForCount(1, kTimeoutMs);
        DWORD exitCode = EndLauncher(&process, kTimeoutMs);

        ASSERT_TRUE(answered) << "no message box appeared";
        std::vector<SeenMessageBox> boxes = watcher.Seen();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(kRefusalCaption, boxes[0].caption);
        EXPECT_EQ(kRefusalText, boxes[0].text);
        EXPECT_EQ(nullptr, boxes[0].owner);
        EXPECT_TRUE(boxes[0].hasYes);
        EXPECT_TRUE(boxes[0].hasNo);
        EXPECT_FALSE(boxes[0].hasIcon);
        EXPECT_EQ(1u, exitCode);

        // A page the launcher had opened would have started the opener before the
        // launcher ended: it would still be running or would have left its record.
        EXPECT_FALSE(IsProcessRunning("opener.exe"));
        EXPECT_FALSE(FileExists(launcher.Folder().File("opener.exe.ran")));
    }
}

TEST(DirectXRefusal, BelowDirectX81AnsweringYesOpensTheDownloadPageAndEndsWithCode1)
{
    LauncherFolder launcher;
    ASSERT_TRUE(launcher.Copied());
    WebOpener opener(launcher.Folder().File("opener.exe"));
    ASSERT_TRUE(opener.Registered());
    WineDllOverrides overrides("Kestrune.exe", {{"dpnhpast", ""}});
    ASSERT_TRUE(overrides.Written());

    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(StartLauncher(launcher.Folder(), &process));
    MessageBoxWatcher watcher(IDYES, process.dwProcessId);
    bool answered = watcher.WaitForCount(1, kTimeoutMs);
    DWORD exitCode = EndLauncher(&process, kTimeoutMs);

    ASSERT_TRUE(answered) << "no message box appeared";
    EXPECT_EQ(kRefusalText, watcher.Seen()[0].text);
    EXPECT_EQ(1u, exitCode);

    // The shell hands the page to the opener, which records its command line.
    ASSERT_TRUE(WaitForFile(launcher.Folder().File("opener.exe.ran"), kTimeoutMs));
    std::vector<unsigned char> bytes = ReadFileBytes(launcher.Folder().File("opener.exe.ran"));
    std::string record(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos, record.find("args=\"https://www.microsoft.com/")) << record;
    EXPECT_NE(std::string::npos, record.find("download")) << record;
}

TEST(DirectXRefusal, WithDirectX81TheLauncherShowsItsOptionsDialog)
{
    LauncherFolder launcher;
    ASSERT_TRUE(launcher.Copied());

    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(StartLauncher(launcher.Folder(), &process));
    MessageBoxWatcher watcher(IDNO, process.dwProcessId);
    HWND dialog = WaitForOptionsDialog(process.dwProcessId, process.hProcess, kTimeoutMs);
    if (dialog)
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    DWORD exitCode = EndLauncher(&process, kTimeoutMs);

    EXPECT_NE(nullptr, dialog) << "the options dialog did not appear";
    EXPECT_TRUE(watcher.Seen().empty()) << watcher.Seen()[0].caption << ": " << watcher.Seen()[0].text;
    EXPECT_EQ(0u, exitCode);
}

}
