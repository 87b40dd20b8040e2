#pragma once
// What both lobby pages do with the messages in their inbox. A wake-up takes messages for a
// bounded time and puts the lines they bring into the transcript with one update of bounded
// size; the page then pauses on a timer, which comes only after the player's input and the
// painting have been handled, and carries on from there. So the page answers whatever
// arrives, and a transcript update costs about the same for one line as for a hundred.
#include "net.h"
#include "transcript.h"

// The pages' timer for carrying on with their inbox.
const UINT_PTR LOBBY_WAKE_TIMER = 1;

struct LobbyWake {
    HWND hPage;
    HWND hTranscript;
    PendingLines* pPending;
    DWORD dwStartMs;
    bool bOutOfTime;
    bool bShown;  // the transcript was updated
};

// Starts a wake-up (WM_USER from the network threads, or the page's LOBBY_WAKE_TIMER) on a
// page whose lines on their way to its transcript wait in pending.
void BeginLobbyWake(LobbyWake& wake, HWND page, PendingLines& pending);
// Pops the next message while the wake-up has time left; false when it has none, or the
// inbox is empty.
bool NextLobbyMessage(LobbyWake& wake, NetMessage* message);
// A chat line from another player: its text after three spaces. The text is read within the
// payload's length, whether or not it holds a NUL.
void AddOthersChatLine(LobbyWake& wake, const NetMessage& message);
// A line of the page's own (text ending in CR LF), flush left.
void AddPageLine(LobbyWake& wake, const char* line);
// Puts every line taken so far into the transcript, so that what comes next (a message box,
// the end of the sheet) finds them there.
void ShowLobbyLines(LobbyWake& wake);
// Puts the oldest lines taken so far into the transcript with one update of bounded size
// and, when the transcript changed or lines or messages remain, holds the inbox's wake-up
// and sets the timer to carry on after a pause.
void EndLobbyWake(LobbyWake& wake);

// A chat line sent by somebody other than the player with this number.
bool IsOthersChatLine(const NetMessage& message, int nOwnPlayerId);

// The player number a 4-byte payload carries; fallback when the payload has another size.
int PayloadPlayerNumber(const NetMessage& message, int fallback);
