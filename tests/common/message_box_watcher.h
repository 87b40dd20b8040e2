#pragma once
// Finds the message boxes a program shows, reads them and answers them, from a
// thread of its own, so that a test can drive code whose handlers block in a box.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

struct SeenMessageBox {
    std::string caption;
    std::string text;
    HWND owner;
    bool hasYes;
    bool hasNo;
    bool hasIcon;  // shows an icon (MB_ICONERROR, MB_ICONWARNING...)
};

class MessageBoxWatcher {
public:
    // answer: the button id pressed on each box (IDOK, IDYES, IDNO...); when a box has no
    // such button, its OK, Cancel or No button is pressed instead.
    // processId: whose boxes to watch; this process by default.
    explicit MessageBoxWatcher(int answer = IDOK, DWORD processId = GetCurrentProcessId());
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<SeenMessageBox> Seen();
    // Waits until at least count boxes have been seen and answered.
    bool WaitForCount(size_t count, DWORD timeoutMs);

private:
    static DWORD WINAPI ThreadMain(void* self);
    static BOOL CALLBACK VisitWindow(HWND window, LPARAM self);
    void Scan();

    int answer_;
    DWORD processId_;
    HANDLE stop_;
    HANDLE thread_;
    std::mutex lock_;
    std::vector<SeenMessageBox> seen_;
    std::vector<HWND> answered_;
};

// True when the window is a message box (a dialog with the message text control).
bool IsMessageBox(HWND window);
