#include "lobby_inbox.h"

#include <cstdlib>
#include <cstring>

#include "resource.h"
#include "transcript.h"

namespace {

const char OTHERS_INDENT[] = "   ";

// Under Wine a transcript update of up to this many bytes takes 10-25 ms, and taking a
// message a few microseconds: with this much time for messages, a wake-up and the pause
// after it leave the page free to answer well within 200 ms, and a full backlog reaches
// the host's transcript within a second.
const int UPDATE_BYTES = 8192;
const DWORD WAKE_BUDGET_MS = 20;
const UINT WAKE_PAUSE_MS = USER_TIMER_MINIMUM;

} // namespace

void BeginLobbyWake(LobbyWake& wake, HWND page, PendingLines& pending)
{
    // Whatever the timer was to carry on with is done now.
    KillTimer(page, LOBBY_WAKE_TIMER);
    wake.hPage = page;
    wake.hTranscript = GetDlgItem(page, IDC_TRANSCRIPT);
    wake.pPending = &pending;
    wake.dwStartMs = GetTickCount();
    wake.bOutOfTime = false;
    wake.bShown = false;
}

bool NextLobbyMessage(LobbyWake& wake, NetMessage* message)
{
    if (GetTickCount() - wake.dwStartMs >= WAKE_BUDGET_MS) {
        wake.bOutOfTime = true;
        return false;
    }
    if (IsQueueEmpty(LobbyInbox)) {
        // The lines taken go into the transcript next, and the timer carries on after that:
        // a wake-up posted meanwhile would come ahead of the player's typing, and a steady
        // stream of messages would post one every time.
        if (wake.pPending->nLength > 0)
            HoldLobbyWakeUp();
        return false;
    }
    *message = PopMessage(LobbyInbox);
    return true;
}

void AddOthersChatLine(LobbyWake& wake, const NetMessage& message)
{
    const void* nul = std::memchr(message.pData, '\0', message.nLength);
    int textLength = nul ? static_cast<int>(static_cast<const char*>(nul) - message.pData) : message.nLength;
    AddPendingLine(*wake.pPending, OTHERS_INDENT, message.pData, textLength);
}

void AddPageLine(LobbyWake& wake, const char* line)
{
    AddPendingLine(*wake.pPending, "", line, static_cast<int>(std::strlen(line)));
}

void ShowLobbyLines(LobbyWake& wake)
{
    if (wake.pPending->nLength == 0)
        return;
    ShowPendingLines(wake.hTranscript, *wake.pPending, wake.pPending->nCapacity);
    wake.bShown = true;
}

void EndLobbyWake(LobbyWake& wake)
{
    if (wake.pPending->nLength > 0) {
        ShowPendingLines(wake.hTranscript, *wake.pPending, UPDATE_BYTES);
        wake.bShown = true;
    }
    if (!wake.bShown && !wake.bOutOfTime)
        return;
    // Until the timer runs, the network threads post no wake-up: a stream of them would go
    // ahead of the player's typing and of the painting.
    HoldLobbyWakeUp();
    SetTimer(wake.hPage, LOBBY_WAKE_TIMER, WAKE_PAUSE_MS, nullptr);
}

bool IsOthersChatLine(const NetMessage& message, int nOwnPlayerId)
{
    return message.nType >= MSG_CHAT && message.nType <= MSG_CHAT_LAST && message.nType != MSG_CHAT + nOwnPlayerId &&
           message.nLength > 0 && message.pData;
}

int PayloadPlayerNumber(const NetMessage& message, int fallback)
{
    if (message.nLength != 4 || !message.pData)
        return fallback;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(message.pData);
    return static_cast<int>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned>(p[3]) << 24);
}
