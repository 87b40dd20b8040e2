#pragma once
// The lobby: one wizard hosts, up to three others join over TCP, and the host relays every
// chat line to everyone. The lobby pages talk to the network threads only through the four
// message queues and the few functions declared here.
#include <winsock2.h>
#include <windows.h>

#include "lobby_protocol.h"

const int NET_ERROR_TEXT_SIZE = 256;  // the error buffer every start-up function writes into

// Host only, put straight into LobbyInbox and never sent: a client's chat lines go beyond
// the flood limits and the excess is dropped. Payload: the player number (4 bytes), then the
// name its lines carry (NUL-terminated, empty when they carry none). The host queues at most
// one every few seconds for each client.
const int MSG_FLOOD_DROPPED = 3100;

// First-in, first-out queues, each with its own lock held for one operation only. They
// exist for the whole process and can be used before any networking has started.
struct MessageQueue;
extern MessageQueue LobbyInbox;     // network threads -> lobby page
extern MessageQueue LobbyOutbox;    // lobby page -> network threads
extern MessageQueue HostIncoming;   // host: what the clients sent
extern MessageQueue HostBroadcast;  // host: what goes out in the next relay pass

// False only when memory ran out; the payload is then freed and the message is lost.
bool PushMessage(MessageQueue& queue, const NetMessage& message);
// An empty queue yields an all-zero record.
NetMessage PopMessage(MessageQueue& queue);
bool IsQueueEmpty(MessageQueue& queue);
int CountMessages(MessageQueue& queue);

// The start-up functions write a text into szError (NET_ERROR_TEXT_SIZE bytes) on failure.
bool StartNetworking(char* szError);
// Starting one side ends the other side if it runs, and discards whatever the queues still
// hold from an earlier session. Calling InitializeServer again with the port of the running
// server keeps that server and its clients.
bool InitializeServer(int nPort, int nMaxPlayers, char* szError);
// Returns within about 10 s even when the host never answers.
bool InitializeClient(const char* szAddress, int nPort, char* szError);
// On a host, returns once the queued messages, the start signal and the final leave notice
// have been sent to every client (or its connection failed), within a few seconds.
bool ShutdownNetworking();
int CountConnectedClients();

// A network thread wakes a lobby page by posting WM_USER (wParam 0, lParam 0) to the window
// registered below; its handler pops LobbyInbox on the page's own thread. Wake-ups are
// merged: from the post until IsQueueEmpty finds LobbyInbox empty, further messages post
// none. So a handler either pops until IsQueueEmpty says the inbox is empty, or stops early
// and arranges to carry on by itself (for example on a timer). HoldLobbyWakeUp keeps further
// wake-ups from being posted after the inbox was found empty, until the handler looks at
// LobbyInbox again. Nothing is posted while no window is registered: a page that registers
// late can post itself a WM_USER to collect what arrived before.
void HoldLobbyWakeUp();

void SetHandshakeWord(int nWord);
int GetHandshakeWord();
// Where a client stores its player number when MSG_PLAYER_ID arrives.
void SetPlayerIdTarget(int* pTarget);
int* GetPlayerIdTarget();
void SetServerLobbyWnd(HWND hWnd);
HWND GetServerLobbyWnd();
void SetServerLobbyActive(int bActive);
int GetServerLobbyActive();
void SetClientLobbyWnd(HWND hWnd);
HWND GetClientLobbyWnd();
// The client's connection to its host, 0 when there is none.
SOCKET GetClientSocket();
// Ends the client's connection (the receive thread closes the socket); safe from any thread.
void CloseClientConnection();
