#include "message_box_watcher.h"

#include <algorithm>

namespace {
// The message text of a system message box is the static with this id.
const int kMessageTextId = 0xFFFF;

// The icon of a box is an icon static with an icon set; systems differ in its id and in
// whether a box without an icon has that static at all.
BOOL CALLBACK FindIcon(HWND child, LPARAM found)
{
    char cls[16] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageA(child, STM_GETICON, 0, 0) != 0) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

std::string WindowText(HWND window)
{
    char text[4096] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}
}

bool IsMessageBox(HWND window)
{
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    return lstrcmpA(cls, "#32770") == 0 && GetDlgItem(window, kMessageTextId) != nullptr;
}

MessageBoxWatcher::MessageBoxWatcher(int answer, DWORD processId)
    : answer_(answer), processId_(processId)
{
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
}

std::vector<SeenMessageBox> MessageBoxWatcher::Seen()
{
    std::lock_guard<std::mutex> hold(lock_);
    return seen_;
}

bool MessageBoxWatcher::WaitForCount(size_t count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (seen_.size() >= count)
                return true;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

DWORD WINAPI MessageBoxWatcher::ThreadMain(void* self)
{
    MessageBoxWatcher* watcher = static_cast<MessageBoxWatcher*>(self);
    while (WaitForSingleObject(watcher->stop_, 20) == WAIT_TIMEOUT)
        watcher->Scan();
    return 0;
}

void MessageBoxWatcher::Scan()
{
    // Forget boxes that have closed, so that a reused handle counts as a new box.
    answered_.erase(std::remove_if(answered_.begin(), answered_.end(),
                                   [](HWND w) { return !IsWindow(w); }),
                    answered_.end());
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK MessageBoxWatcher::VisitWindow(HWND window, LPARAM self)
{
    MessageBoxWatcher* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != watcher->processId_ || !IsWindowVisible(window) || !IsMessageBox(window))
        return TRUE;
    if (std::find(watcher->answered_.begin(), watcher->answered_.end(), window) != watcher->answered_.end())
        return TRUE;

    SeenMessageBox box;
    box.caption = WindowText(window);
    box.text = WindowText(GetDlgItem(window, kMessageTextId));
    box.owner = GetWindow(window, GW_OWNER);
    box.hasYes = GetDlgItem(window, IDYES) != nullptr;
    box.hasNo = GetDlgItem(window, IDNO) != nullptr;
    box.hasIcon = false;
    EnumChildWindows(window, FindIcon, reinterpret_cast<LPARAM>(&box.hasIcon));

    int button = 0;
    for (int candidate : {watcher->answer_, IDOK, IDCANCEL, IDNO}) {
        if (GetDlgItem(window, candidate)) {
            button = candidate;
            break;
        }
    }
    {
        std::lock_guard<std::mutex> hold(watcher->lock_);
        watcher->seen_.push_back(box);
    }
    watcher->answered_.push_back(window);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    return TRUE;
}
