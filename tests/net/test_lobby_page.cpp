#include "test_lobby_page.h"

#include "lobby_bytes.h"
#include "net.h"

namespace {
const UINT WM_RUN_WORK = WM_APP + 1;
const char* const CLASS_NAME = "QuarvTestLobbyPage";
}  // namespace

TestLobbyPage::TestLobbyPage()
{
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_, 10000);
}

TestLobbyPage::~TestLobbyPage()
{
    if (window_)
        PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
    CloseHandle(ready_);
}

void TestLobbyPage::Run()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = CLASS_NAME;
    RegisterClassA(&windowClass);
    threadId_ = GetCurrentThreadId();
    window_ = CreateWindowExA(0, CLASS_NAME, "lobby", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetEvent(ready_);
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

LRESULT CALLBACK TestLobbyPage::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TestLobbyPage* page =
        reinterpret_cast<TestLobbyPage*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_USER:
        page->Drain();
        return 0;
    case WM_RUN_WORK:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void TestLobbyPage::Drain()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakes_;
    if (GetCurrentThreadId() != threadId_)
        foreignDrain_ = true;
    std::vector<PageMessage> taken = TakeInbox();
    messages_.insert(messages_.end(), taken.begin(), taken.end());
}

std::vector<PageMessage> TestLobbyPage::Messages()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

int TestLobbyPage::Wakes()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return wakes_;
}

bool TestLobbyPage::DrainedOnPageThread()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !foreignDrain_;
}

bool TestLobbyPage::WaitForMessages(size_t count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (Messages().size() < count) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

void TestLobbyPage::RunOnPageThread(const std::function<void()>& work)
{
    SendMessageA(window_, WM_RUN_WORK, 0, reinterpret_cast<LPARAM>(&work));
}
