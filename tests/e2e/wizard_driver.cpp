// Drives a running Hollagrin from outside, as a player would: finds the wizard's sheet by
// its caption and sends it window messages. Used by the whole-program tests and the
// screenshot script.
//
//   wizard_driver [--pid N] [--folder DIR] [--timeout MS] COMMAND...
//     --pid, --folder   the wizard of that process, or the one started from that folder
//     wait              wait until the sheet is visible
//     page N            wait until page N is the current page
//     click ID          click control ID of the current page
//     set ID TEXT       set the text of edit ID (a single-line edit reports the change)
//     type ID TEXT      type TEXT at the end of edit ID, character by character
//     enter ID          press Enter at the end of edit ID
//     next | back | finish
//                       wait until the sheet's button is enabled, then press it
//     cancel            press Cancel
//     until ID TEXT     wait until the text of control ID holds TEXT
//     print ID          print the text of control ID, then a line "--end--"
//     answers ID MS     for MS milliseconds, ask for the current page and the text of its
//                       control ID every 20 ms; print "longest N" (the longest wait for an
//                       answer, in ms) and "asked N"
//     lines ID          print the lines of list box ID, one a line, then a line "--end--"
//     select ID TEXT    wait until list box ID holds the line TEXT, then select it as a
//                       click on it does
//     shot FILE         save a picture of the sheet (24-bit BMP)
//     gone              wait until the sheet has closed
//
// Exit code 0 when every command was carried out, 2 when a wait ran out of time (the
// sheet, a page, a button or a text never came), 1 for a usage error.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <psapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "clock_ms.h"

namespace {

const char kCaption[] = "Q.U.A.R.V. Multiplayer Options";
const int BACK_BUTTON = 0x3023;
const int NEXT_BUTTON = 0x3024;
const int FINISH_BUTTON = 0x3025;
// A page handler may be busy for a while (a connection attempt, a message box); messages
// to it wait this long before the driver gives up on that one.
const UINT SEND_TIMEOUT_MS = 15000;

struct Search {
    DWORD processId;     // 0: any process
    std::string folder;  // empty: any folder
    HWND found;
};

std::string ProgramFolder(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    char path[MAX_PATH] = {};
    if (process) {
        GetModuleFileNameExA(process, nullptr, path, MAX_PATH);
        CloseHandle(process);
    }
    std::string folder = path;
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

BOOL CALLBACK Visit(HWND window, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    char text[64] = {};
    char cls[16] = {};
    GetWindowTextA(window, text, sizeof text);
    GetClassNameA(window, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    // Message boxes are dialogs too: the sheet is the one with a Next button.
    if (std::strcmp(text, kCaption) == 0 && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, NEXT_BUTTON) && (search->processId == 0 || search->processId == pid) &&
        (search->folder.empty() || lstrcmpiA(search->folder.c_str(), ProgramFolder(pid).c_str()) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindSheet(DWORD processId, const std::string& folder)
{
    Search search = {processId, folder, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Condition>
bool WaitFor(DWORD timeoutMs, Condition condition)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, SEND_TIMEOUT_MS, &result);
    return static_cast<LRESULT>(result);
}

HWND CurrentPage(HWND sheet)
{
    return reinterpret_cast<HWND>(Send(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

int CurrentIndex(HWND sheet)
{
    HWND page = CurrentPage(sheet);
    return page ? static_cast<int>(Send(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0)) : -1;
}

HWND Control(HWND sheet, int id)
{
    return GetDlgItem(CurrentPage(sheet), id);
}

std::string Text(HWND control)
{
    int length = static_cast<int>(Send(control, WM_GETTEXTLENGTH, 0, 0));
    std::vector<char> text(length + 1);
    Send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

// Asked for as UTF-16: Wine hands a list box line to another process as UTF-16 even when it
// is asked for as ANSI, twice as long as the buffer the length asked for.
std::vector<std::string> ListLines(HWND list)
{
    std::vector<std::string> lines;
    int count = static_cast<int>(Send(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, SEND_TIMEOUT_MS, &length);
        std::vector<WCHAR> wide(length + 1);
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()), SMTO_NORMAL, SEND_TIMEOUT_MS,
                            nullptr);
        char text[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text, sizeof text, nullptr, nullptr);
        lines.push_back(text);
    }
    return lines;
}

int FindLine(HWND list, const std::string& wanted)
{
    std::vector<std::string> lines = ListLines(list);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

// A click on a line selects it, and the list box tells its page.
void SelectLine(HWND list, int index)
{
    Send(list, LB_SETCURSEL, index, 0);
    Send(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

bool ButtonReady(HWND sheet, int id)
{
    HWND button = GetDlgItem(sheet, id);
    return IsWindowEnabled(button) != FALSE;
}

// Sent one by one, so that whatever the driver does next finds the text in place.
void TypeAtEnd(HWND edit, const std::string& text)
{
    int end = static_cast<int>(Send(edit, WM_GETTEXTLENGTH, 0, 0));
    Send(edit, EM_SETSEL, end, end);
    for (char c : text)
        Send(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

bool SaveShot(HWND sheet, const char* file)
{
    // Several wizards may share the screen: this one goes on top and is painted afresh,
    // by its own thread, before the screen is read.
    SetWindowPos(sheet, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(500);
    RECT r = {};
    GetWindowRect(sheet, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD rowSize = (width * 3 + 3) & ~3u;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + rowSize * height;
    FILE* out = std::fopen(file, "wb");
    bool saved = out && std::fwrite(&header, sizeof header, 1, out) == 1 &&
                 std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                 std::fwrite(bits, rowSize * height, 1, out) == 1;
    if (out)
        std::fclose(out);
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

// How long the sheet's thread takes to answer, asked again and again for the current page
// and the text of one of its controls: the longest wait for any one answer.
void PrintAnswerTimes(HWND sheet, int id, DWORD durationMs)
{
    std::vector<char> text(65536);
    double longest = 0;
    int asked = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < durationMs) {
        double before = NowMs();
        HWND page = CurrentPage(sheet);
        double between = NowMs();
        Send(GetDlgItem(page, id), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
        double after = NowMs();
        longest = between - before > longest ? between - before : longest;
        longest = after - between > longest ? after - between : longest;
        ++asked;
        Sleep(20);
    }
    std::printf("longest %.0f\nasked %d\n", longest, asked);
}

int Usage()
{
    std::fprintf(stderr, "usage: wizard_driver [--pid N] [--folder DIR] [--timeout MS] wait|page N|click ID|set ID TEXT|"
                         "type ID TEXT|enter ID|next|back|finish|cancel|until ID TEXT|print ID|answers ID MS|lines ID|"
                         "select ID TEXT|"
                         "shot FILE|gone ...\n");
    return 1;
}

int TimedOut(const std::string& what)
{
    std::fprintf(stderr, "wizard_driver: timed out waiting for %s\n", what.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // Texts are printed as the controls hold them, CR LF and all.
    _setmode(_fileno(stdout), _O_BINARY);
    DWORD processId = 0;
    std::string folder;
    DWORD timeoutMs = 20000;
    int i = 1;
    for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (std::strcmp(argv[i], "--pid") == 0)
            processId = std::strtoul(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--folder") == 0)
            folder = argv[i + 1];
        else if (std::strcmp(argv[i], "--timeout") == 0)
            timeoutMs = std::strtoul(argv[i + 1], nullptr, 10);
        else
            return Usage();
    }
    if (i >= argc)
        return Usage();

    for (; i < argc; ++i) {
        std::string command = argv[i];
        int arguments = argc - i - 1;
        if (command == "gone") {
            if (!WaitFor(timeoutMs, [&] { return FindSheet(processId, folder) == nullptr; }))
                return TimedOut("the sheet to close");
            continue;
        }
        HWND sheet = nullptr;
        if (!WaitFor(timeoutMs, [&] { return (sheet = FindSheet(processId, folder)) != nullptr; }))
            return TimedOut("the sheet");

        if (command == "wait") {
        } else if (command == "page" && arguments >= 1) {
            int index = std::atoi(argv[++i]);
            if (!WaitFor(timeoutMs, [&] { return CurrentIndex(sheet) == index; }))
                return TimedOut(std::string("page ") + argv[i]);
        } else if (command == "click" && arguments >= 1) {
            Send(Control(sheet, std::atoi(argv[++i])), BM_CLICK, 0, 0);
        } else if (command == "set" && arguments >= 2) {
            HWND edit = Control(sheet, std::atoi(argv[i + 1]));
            Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[i + 2]));
            i += 2;
        } else if (command == "type" && arguments >= 2) {
            TypeAtEnd(Control(sheet, std::atoi(argv[i + 1])), argv[i + 2]);
            i += 2;
        } else if (command == "enter" && arguments >= 1) {
            TypeAtEnd(Control(sheet, std::atoi(argv[++i])), "\r");
        } else if (command == "next" || command == "back" || command == "finish") {
            int button = command == "next" ? NEXT_BUTTON : command == "back" ? BACK_BUTTON : FINISH_BUTTON;
            int press = command == "next" ? PSBTN_NEXT : command == "back" ? PSBTN_BACK : PSBTN_FINISH;
            if (!WaitFor(timeoutMs, [&] { return ButtonReady(sheet, button); }))
                return TimedOut("the " + command + " button");
            // Posted: the sheet's own loop then sees that a finished sheet has ended.
            PostMessageA(sheet, PSM_PRESSBUTTON, press, 0);
        } else if (command == "cancel") {
            PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        } else if (command == "until" && arguments >= 2) {
            int id = std::atoi(argv[i + 1]);
            std::string wanted = argv[i + 2];
            i += 2;
            if (!WaitFor(timeoutMs, [&] { return Text(Control(sheet, id)).find(wanted) != std::string::npos; }))
                return TimedOut("\"" + wanted + "\" in control " + std::to_string(id));
        } else if (command == "print" && arguments >= 1) {
            std::printf("%s\n--end--\n", Text(Control(sheet, std::atoi(argv[++i]))).c_str());
        } else if (command == "answers" && arguments >= 2) {
            PrintAnswerTimes(sheet, std::atoi(argv[i + 1]), std::strtoul(argv[i + 2], nullptr, 10));
            i += 2;
        } else if (command == "lines" && arguments >= 1) {
            for (const std::string& line : ListLines(Control(sheet, std::atoi(argv[++i]))))
                std::printf("%s\n", line.c_str());
            std::printf("--end--\n");
        } else if (command == "select" && arguments >= 2) {
            int id = std::atoi(argv[i + 1]);
            std::string wanted = argv[i + 2];
            i += 2;
            int index = -1;
            if (!WaitFor(timeoutMs, [&] { return (index = FindLine(Control(sheet, id), wanted)) >= 0; }))
                return TimedOut("the line \"" + wanted + "\" in list " + std::to_string(id));
            SelectLine(Control(sheet, id), index);
        } else if (command == "shot" && arguments >= 1) {
            if (!SaveShot(sheet, argv[++i])) {
                std::fprintf(stderr, "cannot write %s\n", argv[i]);
                return 1;
            }
        } else {
            return Usage();
        }
    }
    std::fflush(stdout);
    return 0;
}
