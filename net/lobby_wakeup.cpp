#include "net_internal.h"

void WakeLobbyPage(HWND hPage)
{
    // Posted, never sent: the host's page waits for its outbox to empty without handling
    // messages, and a thread blocked in a sent message could never empty it. One wake-up
    // in flight is enough: the page takes what the inbox holds, or holds the wake-up and
    // carries on by itself.
    if (!hPage)
        return;
    if (InterlockedExchange(&LobbyInbox.nWakePending, 1) == 0 &&
        !PostMessageA(hPage, WM_USER, 0, 0))
        InterlockedExchange(&LobbyInbox.nWakePending, 0);
}

void HoldLobbyWakeUp()
{
    InterlockedExchange(&LobbyInbox.nWakePending, 1);
}
