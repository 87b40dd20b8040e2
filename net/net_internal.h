#pragma once
// What the files of the lobby networking share with one another and with nobody else.
#include "lobby_frames.h"
#include "net.h"

struct QueueNode;
struct MessageQueue {
    MessageQueue();
    CRITICAL_SECTION lock;
    QueueNode* pHead;
    QueueNode* pTail;
    int nCount;
    // Set while a wake-up for this queue is posted and not yet acted on (LobbyInbox only).
    volatile LONG nWakePending;
};

void MoveMessages(MessageQueue& from, MessageQueue& to);
// Empties every queue, so that one lobby session leaves nothing behind for the next.
void DiscardAllMessages();

// Shared state. Each socket has one owner thread that receives on it and is the only one to
// close it; other threads end a connection by setting its cancel event. Winsock reuses
// socket handles at once, so a close by any other thread could land on somebody else's
// new connection.
extern volatile SOCKET g_PlayerSockets[LOBBY_MAX_PLAYERS];  // host: 0 = free slot
extern HANDLE g_hSlotCancel[LOBBY_MAX_PLAYERS];
// Held while sending to a slot and while its owner closes it, so a send never meets a
// closed or reused handle.
extern CRITICAL_SECTION g_SlotLocks[LOBBY_MAX_PLAYERS];
extern volatile SOCKET g_ClientSocket;  // client: 0 once the connection has ended
extern HANDLE g_hClientCancel;
extern CRITICAL_SECTION g_ClientLock;  // the same role as g_SlotLocks, for g_ClientSocket
extern SOCKET g_ListenSocket;
extern int g_nListenPort;  // 0 unless a server runs
extern volatile LONG g_bStopNetwork;
extern volatile int g_nHandshakeWord;
extern int* volatile g_pPlayerIdTarget;
extern volatile HWND g_hServerLobbyWnd;
extern volatile int g_bServerLobbyActive;
extern volatile HWND g_hClientLobbyWnd;

// Timings of the lobby's connections.
const DWORD LOBBY_SEND_TIMEOUT_MS = 3000;  // a peer that stops reading is dropped after this
const DWORD LOBBY_CONNECT_TIMEOUT_MS = 5000;
const DWORD LOBBY_HANDSHAKE_TIMEOUT_MS = 5000;

// What a receiving thread waits on: its socket, the event of its overlapped receive and the
// event that another thread sets to end the connection (may be null). With a read-ahead
// buffer, one receive can fetch many messages: a relay pass arrives as one burst.
const int RECEIVE_BUFFER_SIZE = 16384;
struct Receiver {
    SOCKET socket;
    HANDLE hDone;
    HANDLE hCancel;
    char* pBuffer;  // RECEIVE_BUFFER_SIZE bytes, or null to read no further than asked
    int nOffset;
    int nBuffered;
};
// Fills the whole buffer, however the bytes arrive. False when the peer closed, an error
// occurred, the connection was cancelled or the time ran out.
bool ReceiveAll(Receiver& receiver, char* buffer, int length, DWORD timeoutMs);
// ReadNetMessage on the receiver's stream, waiting as long as it takes.
bool ReceiveNetMessage(Receiver& receiver, NetMessage* message);
bool SendAll(SOCKET s, const char* data, int length);
// Keep-alive, no coalescing delay, and the send time-out.
void ConfigureLobbySocket(SOCKET s);
bool ConnectWithin(SOCKET s, const sockaddr_in& address, DWORD timeoutMs);

void PushPlayerNotice(MessageQueue& queue, int nType, int nPlayer);
// Waits for a thread to end, within the time given, and forgets its handle.
void EndThreadHandle(HANDLE* phThread, DWORD timeoutMs);
HANDLE StartNetworkThread(unsigned(__stdcall* entry)(void*), void* argument);

void WakeLobbyPage(HWND hPage);
void WakeListener(int nPort);
void CopyErrorText(char* szError, const char* szText);

// Each side ends all its threads and closes its sockets. StopServer with bDeliver lets
// the dispatch thread send everything queued first and gives the clients a moment to read it.
bool IsServerRunning();
bool IsClientRunning();
void StopServer(bool bDeliver);
void StopClient();
