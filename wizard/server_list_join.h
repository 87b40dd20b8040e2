#pragma once
// What the two server list pages (LAN and Internet) share: their status line and the
// way they join the game the player picked.
#include <windows.h>

#include <string>

// Sets the status line and paints it, with whatever the sheet has still to paint, at once:
// the page may go on to block its thread (a request, a connection) while the player reads it.
void ShowStatusNow(HWND page, int statusId, const std::string& text);

// Connects to the listed game, reporting "Trying to Connect to Server <name>..." and its
// outcome on the status line, and moves the sheet to the client lobby once connected. An
// entry without an address, or with a port no wizard hosts on, fails without trying.
void JoinListedServer(HWND page, int statusId, const std::string& name, const std::string& address, int port);
