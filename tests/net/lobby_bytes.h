#pragma once
// The lobby's wire bytes, written out from the protocol table, and checks on what a peer
// or the host's inbox received.
#include "net.h"
#include "raw_peer.h"
#include "test_lobby_page.h"

#include <gtest/gtest.h>

#include <string>

// What a new client reads first: handshake 12345, then MSG_PLAYER_ID with its number.
Bytes Opening(int player);
Bytes Joined(int player);  // MSG_PLAYER_JOINED
Bytes Left(int player);    // MSG_PLAYER_LEFT
extern const Bytes START_SIGNAL;
extern const Bytes SERVER_FULL;
// Type 2000 + player, length, the text, CR LF and NUL.
Bytes ChatFrame(int player, const std::string& line);
// A chat line as a lobby page queues it.
NetMessage ChatMessage(int type, const std::string& line);
NetMessage StartMessage();

// Reads one frame and compares its bytes.
::testing::AssertionResult NextFrameIs(SOCKET s, const Bytes& expected, DWORD timeoutMs = 5000);
// Pops everything the host's inbox holds.
std::vector<PageMessage> TakeInbox();
bool WaitForCount(MessageQueue& queue, int count, DWORD timeoutMs);
bool WaitFor(bool (*condition)(), DWORD timeoutMs);
