// Kestrune, the QUARV options launcher. The command line is ignored.
#include <windows.h>
#include <shellapi.h>

#include "directx_probe.h"
#include "main_window.h"
#include "message_loop.h"
#include "options_dialog.h"
#include "web_addresses.h"

static const DWORD kDirectX81 = 0x801;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // The game cannot run without DirectX 8.1, so neither does its launcher.
    if (DetectDirectXVersion() < kDirectX81) {
        if (MessageBoxA(nullptr, "DirectX 8.1 not detected. Do you want to download it?",
                        "DIRECTX ERROR", MB_YESNO) == IDYES)
            ShellExecuteA(nullptr, "open", kDirectXDownloadUrl, nullptr, nullptr, SW_SHOWNORMAL);
        return 1;
    }

    HWND mainWindow = nullptr;
    HACCEL accelerators = nullptr;
    if (FAILED(CreateMainWindow(instance, showCommand, &mainWindow, &accelerators)))
        return 0;

    // The template centres the dialog on the screen.
    OpenOptionsDialog(instance, mainWindow);
    return RunMessageLoop(mainWindow, accelerators);
}
