// The main window and the message loop, run in the test's own thread: the window class,
// the idle flag, the refused system commands, and the keys that reach the options dialog
// or the accelerator table.
#include <gtest/gtest.h>

#include <ostream>

#include <windows.h>

#include <string>

#include "dialog_fixture.h"
#include "main_window.h"
#include "message_loop.h"
#include "options_dialog.h"
#include "resource.h"
#include "test_support.h"

namespace {

// Ends a loop that would otherwise never end, so that a fault fails the test instead of
// hanging it: the loop then returns kWatchdogExitCode.
class LoopWatchdog {
public:
    static const WPARAM kWatchdogExitCode = 99;
    LoopWatchdog() : thread_(GetCurrentThreadId())
    {
        stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        watcher_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
    }
    ~LoopWatchdog()
    {
        SetEvent(stop_);
        WaitForSingleObject(watcher_, INFINITE);
        CloseHandle(watcher_);
        CloseHandle(stop_);
    }

private:
    static DWORD WINAPI Watch(void* self)
    {
        LoopWatchdog* dog = static_cast<LoopWatchdog*>(self);
        if (WaitForSingleObject(dog->stop_, 15000) == WAIT_TIMEOUT)
            PostThreadMessageA(dog->thread_, WM_QUIT, kWatchdogExitCode, 0);
        return 0;
    }
    DWORD thread_;
    HANDLE stop_;
    HANDLE watcher_;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyFileOver(StandinGamePath(), folder_.File("quarv.exe")));
        ASSERT_TRUE(CopyFileOver(StandinGamePath(), folder_.File("Hollagrin.exe")));
        g_bAppActive = FALSE;
        ASSERT_EQ(S_OK, CreateMainWindow(instance_, SW_SHOWNORMAL, &main_, &accelerators_));
    }
    void TearDown() override
    {
        if (IsWindow(main_))
            DestroyWindow(main_);
        UnregisterClassA(kMainWindowClassName, instance_);
        g_hOptionsDlg = nullptr;
        MessagePump rest;
        rest.Run();
    }

    HINSTANCE instance_ = GetModuleHandleA(nullptr);
    TempFolder folder_;
    HWND main_ = nullptr;
    HACCEL accelerators_ = nullptr;
};

} // namespace

TEST_F(MainWindowTest, IsAnInvisiblePopupOfTheFullScreenDialogClass)
{
    WNDCLASSA info = {};
    ASSERT_TRUE(GetClassInfoA(instance_, "FullScreenDialog", &info));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), info.style);
    EXPECT_EQ(&MainWindowProc, info.lpfnWndProc);
    EXPECT_EQ(0, info.cbClsExtra);
    EXPECT_EQ(0, info.cbWndExtra);
    EXPECT_EQ(nullptr, info.hIcon);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), info.hCursor);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), info.hbrBackground);
    EXPECT_EQ(nullptr, info.lpszMenuName);

    char title[128] = {};
    GetWindowTextA(main_, title, sizeof title);
    EXPECT_STREQ("DirectDraw FullScreenDialog Sample", title);
    LONG style = GetWindowLongA(main_, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_POPUP), style & ~(WS_VISIBLE | WS_CLIPSIBLINGS));
    RECT r = {};
    GetWindowRect(main_, &r);
    EXPECT_EQ(0, r.right - r.left);
    EXPECT_EQ(0, r.bottom - r.top);
    EXPECT_NE(nullptr, accelerators_);
    EXPECT_TRUE(g_bAppActive) << "showing the window makes the launcher active";

    // The class exists now: a second launcher window in this process cannot be made.
    HWND second = nullptr;
    HACCEL table = nullptr;
    EXPECT_EQ(E_FAIL, CreateMainWindow(instance_, SW_SHOWNORMAL, &second, &table));
}

TEST_F(MainWindowTest, MinimisingAndRestoringSwitchTheIdleStrategy)
{
    ShowWindow(main_, SW_MINIMIZE);
    EXPECT_FALSE(g_bAppActive);
    ShowWindow(main_, SW_RESTORE);
    EXPECT_TRUE(g_bAppActive);

    struct Row {
        WPARAM sizeType;
        BOOL active;
    };
    const Row rows[] = {
        {SIZE_MINIMIZED, FALSE}, {SIZE_RESTORED, TRUE}, {SIZE_MAXHIDE, FALSE},
        {SIZE_MAXIMIZED, TRUE},  {SIZE_MAXHIDE, FALSE}, {SIZE_MAXSHOW, TRUE},
    };
    for (const Row& row : rows) {
        SendMessageA(main_, WM_SIZE, row.sizeType, 0);
        EXPECT_EQ(row.active, g_bAppActive) << "size type " << row.sizeType;
    }
}

TEST_F(MainWindowTest, RefusesExactlyTheSizeMoveMaximizeAndMonitorPowerCommands)
{
    struct Row {
        const char* name;
        WPARAM command;
        LRESULT result;
        bool zoomedAfter;
    };
    const Row rows[] = {
        {"SC_SIZE", SC_SIZE, TRUE, false},
        {"SC_MOVE", SC_MOVE, TRUE, false},
        {"SC_MAXIMIZE", SC_MAXIMIZE, TRUE, false},
        {"SC_MONITORPOWER", SC_MONITORPOWER, TRUE, false},
        // Low bits make it another value, which default handling then carries out.
        {"SC_MAXIMIZE with low bits", SC_MAXIMIZE | 2, 0, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.result, SendMessageA(main_, WM_SYSCOMMAND, row.command, -1)) << row.name;
        EXPECT_EQ(row.zoomedAfter, IsZoomed(main_) != FALSE) << row.name;
    }
}

namespace {

enum class Target { Dialog, MainWindow };

struct KeyCase {
    const char* name;
    Target target;
    UINT message;
    WPARAM key;
    bool alt;
    bool optionsWritten;  // START ran: options written and the game started
    bool mainWindowAlive;
};
void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.name; }

const KeyCase kKeyCases[] = {
    {"EnterInTheDialogIsStart", Target::Dialog, WM_KEYDOWN, VK_RETURN, false, true, true},
    {"EscInTheDialogIsQuit", Target::Dialog, WM_KEYDOWN, VK_ESCAPE, false, false, true},
    {"EscOnTheMainWindowClosesTheLauncher", Target::MainWindow, WM_KEYDOWN, VK_ESCAPE, false, false, false},
    {"AltXOnTheMainWindowClosesTheLauncher", Target::MainWindow, WM_SYSKEYDOWN, 'X', true, false, false},
};

class KeyTest : public MainWindowTest, public ::testing::WithParamInterface<KeyCase> {};

void SetAltKey(bool down)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

} // namespace

TEST_P(KeyTest, ReachesTheDialogOrTheAcceleratorTable)
{
    const KeyCase& c = GetParam();
    OpenOptionsDialog(instance_, main_);
    HWND dialog = g_hOptionsDlg;
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(IsWindowVisible(dialog));

    HWND focus = GetFocus();
    HWND target = c.target == Target::MainWindow ? main_ : (focus && IsChild(dialog, focus) ? focus : dialog);
    SetAltKey(c.alt);
    // Bit 29 is the context code of a key pressed with Alt held.
    PostMessageA(target, c.message, c.key, c.alt ? (1 << 29) | 1 : 1);
    int exitCode;
    {
        LoopWatchdog watchdog;
        exitCode = RunMessageLoop(main_, accelerators_);
    }
    SetAltKey(false);

    EXPECT_EQ(0, exitCode);
    EXPECT_EQ(c.optionsWritten, FileExists(folder_.File("options.bin")));
    if (c.optionsWritten) {
        EXPECT_TRUE(WaitForFile(folder_.File("quarv.exe.ran"), 10000));
    }
    EXPECT_EQ(c.mainWindowAlive, IsWindow(main_) != FALSE);
    if (c.mainWindowAlive) {
        EXPECT_EQ(dialog, g_hOptionsDlg);
        EXPECT_FALSE(IsWindowVisible(dialog));
    } else {
        EXPECT_EQ(nullptr, g_hOptionsDlg) << "the owned dialog is destroyed with the main window";
        EXPECT_FALSE(IsWindow(dialog));
    }
}

INSTANTIATE_TEST_SUITE_P(Launcher, KeyTest, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(MainWindowTest, F1OpensAnotherOptionsDialog)
{
    OpenOptionsDialog(instance_, main_);
    HWND first = g_hOptionsDlg;
    ASSERT_NE(nullptr, first);

    PostMessageA(main_, WM_KEYDOWN, VK_F1, 1);
    // A quit message waits behind every posted message, so the loop ends after F1.
    PostQuitMessage(7);
    int exitCode;
    {
        LoopWatchdog watchdog;
        exitCode = RunMessageLoop(main_, accelerators_);
    }

    EXPECT_EQ(7, exitCode);
    ASSERT_NE(nullptr, g_hOptionsDlg);
    EXPECT_NE(first, g_hOptionsDlg);
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_TRUE(IsWindowVisible(g_hOptionsDlg));
    EXPECT_EQ(main_, GetWindow(g_hOptionsDlg, GW_OWNER));
}
