#pragma once
#include <windows.h>

// Sends the line in a lobby page's input box: shows it in the page's own transcript, flush
// left, and queues it for the host. Called with bByButton 0 on every change of the input,
// where it sends only when the player has pressed Enter at the end of the text, and with 1
// from the send button. Returns 0 when there was no memory for the message (the transcript
// already shows the line), else 1.
int SendChatLine(HWND page, int bByButton);

// The lobby pages' commands: Enter in the input box and the send button send the line.
void OnChatCommand(HWND page, WPARAM wParam);
