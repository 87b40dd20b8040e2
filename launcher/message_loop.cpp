#include "message_loop.h"

#include "main_window.h"
#include "options_dialog.h"

namespace {

const DWORD kIdleSleepMs = 100;

void Dispatch(HWND mainWindow, HACCEL accelerators, MSG* message)
{
    if (g_hOptionsDlg && IsDialogMessageA(g_hOptionsDlg, message))
        return;
    if (!TranslateAcceleratorA(mainWindow, accelerators, message)) {
        TranslateMessage(message);
        DispatchMessageA(message);
    }
}

} // namespace

int RunMessageLoop(HWND mainWindow, HACCEL accelerators)
{
    for (;;) {
        MSG message = {};
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0))
                return static_cast<int>(message.wParam);
            Dispatch(mainWindow, accelerators, &message);
        } else if (g_bAppActive) {
            // A short sleep keeps an idle launcher off the processor while it still
            // answers within a tenth of a second.
            Sleep(kIdleSleepMs);
        } else {
            WaitMessage();
        }
    }
}
