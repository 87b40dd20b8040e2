// Drives a running Kestrune from outside, as a player would: finds the options dialog by
// its caption and sends it window messages. Used by the whole-program tests, the benchmark
// and the screenshot script.
//
//   launcher_driver [--pid N] [--timeout MS] COMMAND...
//     wait          wait until the dialog is visible
//     press ID      click the control with that id
//     tab N         show page N
//     key VK        press a key (virtual-key code) in the control that has the focus
//     close         the dialog's close box
//     rect          print "x y width height" of the dialog
//     launch EXE    start EXE in its own folder and wait for its dialog;
//                   prints "visible_ms M" (time from the start to the visible dialog)
//
// Exit code 0 when every command was carried out, 2 when no dialog appeared in time,
// 1 for a usage error.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kCaption[] = "Q.U.A.R.V. Options Menu";

struct Search {
    DWORD processId;  // 0: any process
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    char text[64] = {};
    char cls[16] = {};
    GetWindowTextA(window, text, sizeof text);
    GetClassNameA(window, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (std::strcmp(text, kCaption) == 0 && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window) &&
        (search->processId == 0 || search->processId == pid)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForDialog(DWORD processId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        Search search = {processId, nullptr};
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(1);
    }
}

HWND FocusOf(HWND dialog)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus)
        return info.hwndFocus;
    return dialog;
}

int Launch(const char* exe, DWORD timeoutMs)
{
    std::string folder = exe;
    size_t slash = folder.find_last_of("\\/");
    folder = slash == std::string::npos ? "." : folder.substr(0, slash);
    std::string commandLine = std::string("\"") + exe + "\"";

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER started = {};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", exe, GetLastError());
        return 1;
    }
    HWND dialog = WaitForDialog(process.dwProcessId, timeoutMs);
    LARGE_INTEGER visible = {};
    QueryPerformanceCounter(&visible);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!dialog)
        return 2;
    std::printf("visible_ms %.1f\n", 1000.0 * (visible.QuadPart - started.QuadPart) / frequency.QuadPart);
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: launcher_driver [--pid N] [--timeout MS] "
                         "wait|press ID|tab N|key VK|close|rect|launch EXE ...\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    DWORD processId = 0;
    DWORD timeoutMs = 15000;
    int i = 1;
    for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (std::strcmp(argv[i], "--pid") == 0)
            processId = std::strtoul(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--timeout") == 0)
            timeoutMs = std::strtoul(argv[i + 1], nullptr, 10);
        else
            return Usage();
    }
    if (i >= argc)
        return Usage();

    for (; i < argc; ++i) {
        std::string command = argv[i];
        bool hasArgument = i + 1 < argc;
        if (command == "launch") {
            if (!hasArgument)
                return Usage();
            int result = Launch(argv[++i], timeoutMs);
            if (result != 0)
                return result;
            continue;
        }

        HWND dialog = WaitForDialog(processId, timeoutMs);
        if (!dialog) {
            std::fprintf(stderr, "no visible \"%s\" dialog\n", kCaption);
            return 2;
        }
        if (command == "wait") {
            continue;
        } else if (command == "press" && hasArgument) {
            PostMessageA(GetDlgItem(dialog, std::atoi(argv[++i])), BM_CLICK, 0, 0);
        } else if (command == "tab" && hasArgument) {
            SendMessageA(GetDlgItem(dialog, 1001), TCM_SETCURFOCUS, std::atoi(argv[++i]), 0);
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        } else if (command == "key" && hasArgument) {
            WPARAM key = std::strtoul(argv[++i], nullptr, 10);
            HWND focus = FocusOf(dialog);
            PostMessageA(focus, WM_KEYDOWN, key, 1);
            PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
        } else if (command == "close") {
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (command == "rect") {
            RECT r = {};
            GetWindowRect(dialog, &r);
            std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        } else {
            return Usage();
        }
    }
    std::fflush(stdout);
    return 0;
}
