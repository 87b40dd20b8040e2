#pragma once
// What both lobby pages do with the messages in their inbox.
#include "net.h"

// A chat line from another player: its text after three spaces, at the end of the transcript.
// The text is read within the payload's length, whether or not it holds a NUL.
void ShowOthersChatLine(HWND transcript, const NetMessage& message, int capacity);

// A chat line sent by somebody other than the player with this number.
bool IsOthersChatLine(const NetMessage& message, int nOwnPlayerId);

// The player number a 4-byte payload carries; fallback when the payload has another size.
int PayloadPlayerNumber(const NetMessage& message, int fallback);
