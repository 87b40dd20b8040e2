#pragma once
// Stands in for a lobby page: a plain window on a thread of its own that counts its
// wake-ups and, for each, drains LobbyInbox the way the wizard's pages do.
#include "raw_peer.h"

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct PageMessage {
    int type;
    Bytes payload;
};

class TestLobbyPage {
public:
    TestLobbyPage();
    ~TestLobbyPage();
    TestLobbyPage(const TestLobbyPage&) = delete;
    TestLobbyPage& operator=(const TestLobbyPage&) = delete;

    HWND Window() const { return window_; }
    std::vector<PageMessage> Messages();
    int Wakes();
    // Every drain ran on the page's own thread.
    bool DrainedOnPageThread();
    bool WaitForMessages(size_t count, DWORD timeoutMs);
    // Runs on the page's thread, which handles no window message meanwhile.
    void RunOnPageThread(const std::function<void()>& work);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run();
    void Drain();

    std::thread thread_;
    HANDLE ready_ = nullptr;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::mutex mutex_;
    std::vector<PageMessage> messages_;
    int wakes_ = 0;
    bool foreignDrain_ = false;
};
