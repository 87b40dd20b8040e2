#include "net_internal.h"

volatile SOCKET g_PlayerSockets[LOBBY_MAX_PLAYERS];
HANDLE g_hSlotCancel[LOBBY_MAX_PLAYERS];
volatile SOCKET g_ClientSocket;
HANDLE g_hClientCancel;
CRITICAL_SECTION g_ClientLock;
SOCKET g_ListenSocket;
int g_nListenPort;
volatile LONG g_bStopNetwork;
volatile int g_nHandshakeWord = LOBBY_HANDSHAKE_WORD;
int* volatile g_pPlayerIdTarget;
volatile HWND g_hServerLobbyWnd;
volatile int g_bServerLobbyActive;
volatile HWND g_hClientLobbyWnd;

namespace {

// Created once, during program start-up: a second start of the lobby must never re-create a
// lock or an event that a running thread may hold.
struct ConnectionObjects {
    ConnectionObjects()
    {
        for (int n = 0; n < LOBBY_MAX_PLAYERS; ++n)
            g_hSlotCancel[n] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        InitializeCriticalSection(&g_ClientLock);
        g_hClientCancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
};
ConnectionObjects g_ConnectionObjects;

}  // namespace

void SetHandshakeWord(int nWord) { g_nHandshakeWord = nWord; }
int GetHandshakeWord() { return g_nHandshakeWord; }
void SetPlayerIdTarget(int* pTarget) { g_pPlayerIdTarget = pTarget; }
int* GetPlayerIdTarget() { return g_pPlayerIdTarget; }
void SetServerLobbyWnd(HWND hWnd) { g_hServerLobbyWnd = hWnd; }
HWND GetServerLobbyWnd() { return g_hServerLobbyWnd; }
void SetServerLobbyActive(int bActive) { g_bServerLobbyActive = bActive; }
int GetServerLobbyActive() { return g_bServerLobbyActive; }
void SetClientLobbyWnd(HWND hWnd) { g_hClientLobbyWnd = hWnd; }
HWND GetClientLobbyWnd() { return g_hClientLobbyWnd; }
SOCKET GetClientSocket() { return g_ClientSocket; }

void CloseClientConnection()
{
    EnterCriticalSection(&g_ClientLock);
    if (g_ClientSocket) {
        SetEvent(g_hClientCancel);
        g_ClientSocket = 0;
    }
    LeaveCriticalSection(&g_ClientLock);
}
