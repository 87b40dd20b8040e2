// Index 6: a joined player's chat lobby, where the client waits for the host's start signal.
#include <cstdlib>

#include "chat_line.h"
#include "lobby_inbox.h"
#include "net.h"
#include "net_options.h"
#include "resource.h"
#include "transcript.h"
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

// Lines on their way into the transcript.
char g_szClientPending[2 * CLIENT_TRANSCRIPT_SIZE];
PendingLines g_ClientPending = {g_szClientPending, 0, CLIENT_TRANSCRIPT_SIZE, false};

void StartGame()
{
    SaveNetOptions(g_NetOptions);
    g_bStartGame = 1;
    // Ends the sheet's modal loop; the entry point then starts the game.
    PostQuitMessage(0);
}

// A network thread posts the wake-up, or the page's timer carries on with what is left.
void OnWake(HWND page)
{
    LobbyWake wake = {};
    BeginLobbyWake(wake, page, g_ClientPending);
    NetMessage message = {};
    while (NextLobbyMessage(wake, &message)) {
        switch (message.nType) {
        case MSG_PLAYER_ID:
            g_NetOptions.nPlayerId = PayloadPlayerNumber(message, g_NetOptions.nPlayerId);
            break;
        case MSG_SERVER_FULL:
            ShowLobbyLines(wake);
            CloseClientConnection();
            MessageBoxA(page, "SERVER IS FULL", "Error", MB_OK);
            break;
        case MSG_START_GAME:
            std::free(message.pData);
            ShowLobbyLines(wake);
            // Whatever came after the signal is of no use to a game that is starting.
            StartGame();
            return;
        default:
            if (IsOthersChatLine(message, g_NetOptions.nPlayerId))
                AddOthersChatLine(wake, message);
            break;
        }
        std::free(message.pData);
    }
    EndLobbyWake(wake);
}

void OnInitDialog(HWND page, LPARAM lParam)
{
    KeepSharedData(page, lParam);
    SetWizardButtons(page, BUTTONS_BACK);
    PrepareTranscript(GetDlgItem(page, IDC_TRANSCRIPT));
    ClearPendingLines(g_ClientPending);
    g_NetOptions.hClientLobbyPage = HandleField(page);
    SetClientLobbyWnd(page);
}

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        // No Next and no Finish: the host's start signal ends the wizard.
        SetWizardButtons(page, BUTTONS_BACK);
        break;
    case PSN_WIZBACK:
        // Back to where the connection was made; the connection itself stays.
        if (g_NetOptions.nConnectMethod == CONNECT_DIRECT)
            JumpOnBack(page, PAGE_DIRECT_CONNECT);
        else if (g_NetOptions.nConnectMethod == CONNECT_LAN)
            JumpOnBack(page, PAGE_LAN_LIST);
        break;
    }
}

} // namespace

INT_PTR CALLBACK ClientLobbyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(page, lParam);
        return 0;
    case WM_COMMAND:
        OnChatCommand(page, wParam);
        return 0;
    case WM_NOTIFY:
        OnNotify(page, lParam);
        return 0;
    case WM_USER:
        OnWake(page);
        return 0;
    case WM_TIMER:
        if (wParam == LOBBY_WAKE_TIMER)
            OnWake(page);
        return 0;
    }
    return 0;
}
