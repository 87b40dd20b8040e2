#include "main_window.h"

#include <commctrl.h>

#include "options_dialog.h"
#include "resource.h"

BOOL g_bAppActive = FALSE;

const char kMainWindowClassName[] = "FullScreenDialog";
static const char kMainWindowTitle[] = "DirectDraw FullScreenDialog Sample";

namespace {

// Only the exact values are refused: a move started by dragging carries extra low bits
// and still goes through.
bool IsRefusedSystemCommand(WPARAM command)
{
    return command == SC_SIZE || command == SC_MOVE || command == SC_MAXIMIZE || command == SC_MONITORPOWER;
}

void OnSize(WPARAM sizeType)
{
    g_bAppActive = (sizeType == SIZE_MINIMIZED || sizeType == SIZE_MAXHIDE) ? FALSE : TRUE;
}

} // namespace

HRESULT CreateMainWindow(HINSTANCE instance, int showCommand, HWND* mainWindow, HACCEL* accelerators)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    // The resources hold no icon 101, so the class ends up without an icon of its own.
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_CLASS_ICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kMainWindowClassName;
    if (!RegisterClassA(&windowClass))
        return E_FAIL;

    HACCEL table = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));

    HWND window = CreateWindowExA(0, kMainWindowClassName, kMainWindowTitle, WS_POPUP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return E_FAIL;

    // The options dialog's tab control and trackbars are common controls.
    InitCommonControls();
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    *mainWindow = window;
    *accelerators = table;
    return S_OK;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        OnSize(wParam);
        break;
    case WM_SYSCOMMAND:
        if (IsRefusedSystemCommand(wParam))
            return TRUE;
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_CLOSE_LAUNCHER) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        }
        if (LOWORD(wParam) == IDM_NEW_OPTIONS_DIALOG) {
            HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
            OpenOptionsDialog(instance, window);
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
