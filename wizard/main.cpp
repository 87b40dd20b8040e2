// Hollagrin, the QUARV multiplayer wizard. The command line is ignored.
#include <windows.h>
#include <commctrl.h>

#include "net.h"
#include "page_table.h"
#include "title_font.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    SetHandshakeWord(LOBBY_HANDSHAKE_WORD);
    g_bStartGame = 0;

    WizardSharedData shared = {};
    HPROPSHEETPAGE pages[WIZARD_PAGE_COUNT] = {};
    if (!CreateWizardPages(instance, &shared, pages))
        return 0;
    PROPSHEETHEADERA header = WizardSheetHeader(instance, pages);
    shared.hTitleFont = CreateTitleFont();

    PropertySheetA(&header);

    if (shared.hTitleFont)
        DeleteObject(shared.hTitleFont);
    if (g_bStartGame != 1)
        return 0;

    // The pages have written "netoptions.bin"; the game takes over from here.
    ShutdownNetworking();
    WinExec("quarv.exe", SW_SHOW);
    ExitProcess(0);
}
