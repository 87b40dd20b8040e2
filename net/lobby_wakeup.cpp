#include "net_internal.h"

void WakeLobbyPage(HWND hPage)
{
    // Posted, never sent: the host's page waits for its outbox to empty without handling
    // messages, and a thread blocked in a sent message could never empty it. One wake-up
    // in flight is enough, because the page drains the whole inbox for each.
    if (!hPage)
        return;
    if (InterlockedExchange(&LobbyInbox.nWakePending, 1) == 0 &&
        !PostMessageA(hPage, WM_USER, 0, 0))
        InterlockedExchange(&LobbyInbox.nWakePending, 0);
}
