// Index 8: the host's chat lobby. Showing it starts the server; "Start Game" ends the wizard
// on every machine.
#include <cstdio>
#include <cstdlib>

#include "chat_line.h"
#include "lan_discovery.h"
#include "lobby_inbox.h"
#include "net.h"
#include "net_options.h"
#include "resource.h"
#include "server_directory.h"
#include "transcript.h"
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

const int MAX_LOBBY_PLAYERS = 4;
const DWORD OUTBOX_POLL_MS = 100;
// The relay sends the start signal within one pass; a server that never started never
// sends it, and the host must not wait for that.
const DWORD START_SIGNAL_WAIT_MS = 5000;

// The host's own player number; join and leave notices about it do not change the count.
int g_nServerPagePlayerId;

// Lines on their way into the transcript.
char g_szServerPending[2 * SERVER_TRANSCRIPT_SIZE];
PendingLines g_ServerPending = {g_szServerPending, 0, SERVER_TRANSCRIPT_SIZE, false};

void ShowPlayerCount(HWND page)
{
    int count = CountConnectedClients();
    char text[64] = {};
    std::snprintf(text, sizeof text, "Number of Players Connected: %d", count);
    SetDlgItemTextA(page, IDC_PLAYER_COUNT, text);
    g_NetOptions.nPlayers = count;
}

// A client whose lines go beyond the flood limits: the host's own note, naming the player by
// its number and the name its lines carry.
void AddFloodLine(LobbyWake& wake, const NetMessage& message)
{
    if (message.nLength < 5 || message.pData[message.nLength - 1] != '\0')
        return;
    NetMessage numberPart = {message.nType, 4, message.pData};
    int player = PayloadPlayerNumber(numberPart, 0);
    const char* name = message.pData + 4;
    char line[128] = {};
    if (name[0])
        std::snprintf(line, sizeof line, "Too many lines from %s (player %d): the extra lines are not passed on.\r\n",
                      name, player);
    else
        std::snprintf(line, sizeof line, "Too many lines from player %d: the extra lines are not passed on.\r\n",
                      player);
    AddPageLine(wake, line);
}

// A network thread posts the wake-up, or the page's timer carries on with what is left.
void OnWake(HWND page)
{
    LobbyWake wake = {};
    BeginLobbyWake(wake, page, g_ServerPending);
    NetMessage message = {};
    while (NextLobbyMessage(wake, &message)) {
        switch (message.nType) {
        case MSG_PLAYER_ID:
            g_nServerPagePlayerId = PayloadPlayerNumber(message, g_nServerPagePlayerId);
            break;
        case MSG_SERVER_FULL:
            break;
        case MSG_PLAYER_JOINED:
        case MSG_PLAYER_LEFT:
            if (PayloadPlayerNumber(message, g_nServerPagePlayerId) != g_nServerPagePlayerId)
                ShowPlayerCount(page);
            break;
        case MSG_FLOOD_DROPPED:
            AddFloodLine(wake, message);
            break;
        default:
            if (IsOthersChatLine(message, g_NetOptions.nPlayerId))
                AddOthersChatLine(wake, message);
            break;
        }
        std::free(message.pData);
    }
    EndLobbyWake(wake);
}

// The host counts as a player in what the LAN is told.
int CountLobbyPlayers()
{
    return CountConnectedClients() + 1;
}

void OnSetActive(HWND page)
{
    SetWizardButtons(page, BUTTONS_BACK_FINISH);
    // Every showing starts the server; one that already runs on this port keeps running
    // with its clients. The LAN is told about the game while this page shows it.
    if (InitializeServer(g_NetOptions.nHostPort, MAX_LOBBY_PLAYERS, g_NetOptions.szServerError))
        StartLanResponder(g_NetOptions.szServerName, g_NetOptions.nHostPort, MAX_LOBBY_PLAYERS, CountLobbyPlayers);
    if (g_NetOptions.bPublishServer == 1)
        PublishServer(1, g_NetOptions.nHostPort, 1, MAX_LOBBY_PLAYERS, 1, g_NetOptions.szServerName);
}

void OnStartGame()
{
    StopLanResponder();
    NetMessage start = {};
    start.nType = MSG_START_GAME;
    PushMessage(LobbyOutbox, start);
    g_bStartGame = 1;
    g_NetOptions.nPlayers = CountConnectedClients() + 1;
    SaveNetOptions(g_NetOptions);
    DWORD started = GetTickCount();
    while (!(IsQueueEmpty(HostBroadcast) && IsQueueEmpty(LobbyOutbox)) &&
           GetTickCount() - started < START_SIGNAL_WAIT_MS)
        Sleep(OUTBOX_POLL_MS);
}

void OnInitDialog(HWND page, LPARAM lParam)
{
    KeepSharedData(page, lParam);
    g_nServerPagePlayerId = 0;
    SendMessageA(GetParent(page), PSM_SETFINISHTEXT, 0, reinterpret_cast<LPARAM>("Start Game"));
    PrepareTranscript(GetDlgItem(page, IDC_TRANSCRIPT));
    ClearPendingLines(g_ServerPending);
    g_NetOptions.hServerLobbyPage = HandleField(page);
    SetServerLobbyWnd(page);
    SetServerLobbyActive(1);
}

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        OnSetActive(page);
        break;
    case PSN_WIZFINISH:
        OnStartGame();
        break;
    case PSN_WIZBACK:
        StopLanResponder();
        break;
    }
}

} // namespace

INT_PTR CALLBACK ServerLobbyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
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
    case WM_DESTROY:
        // The sheet closes: cancelled, or the game starts.
        StopLanResponder();
        return 0;
    }
    return 0;
}
