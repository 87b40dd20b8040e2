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
    // Set from a wake-up's post until the page finds the queue empty (LobbyInbox only).
    volatile LONG nWakePending;
};

void MoveMessages(MessageQueue& from, MessageQueue& to);
// Empties every queue, so that one lobby session leaves nothing behind for the next.
void DiscardAllMessages();

// Shared state. Each socket has one owner thread that receives on it and is the only one to
// close it; other threads end a connection by setting its cancel event. Winsock reuses
// socket handles at once, so a close by any other thread could land on somebody else's
// new connection. On the host the owner closes a client's socket only once that slot's
// sender thread, the one thread that sends on it, has ended.
extern volatile SOCKET g_PlayerSockets[LOBBY_MAX_PLAYERS];  // host: 0 = free slot
extern HANDLE g_hSlotCancel[LOBBY_MAX_PLAYERS];
extern volatile SOCKET g_ClientSocket;  // client: 0 once the connection has ended
extern HANDLE g_hClientCancel;
// Held while sending on g_ClientSocket and while it is given up, so a send never meets a
// closed or reused handle.
extern CRITICAL_SECTION g_ClientLock;
extern SOCKET g_ListenSocket;
extern int g_nListenPort;  // 0 unless a server runs
extern volatile LONG g_bStopNetwork;
extern volatile int g_nHandshakeWord;
extern int* volatile g_pPlayerIdTarget;
extern volatile HWND g_hServerLobbyWnd;
extern volatile int g_bServerLobbyActive;
extern volatile HWND g_hClientLobbyWnd;

// Timings of the lobby's connections.
const DWORD LOBBY_SEND_TIMEOUT_MS = 3000;  // a peer that takes nothing for this long is dropped
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
// MSG_FLOOD_DROPPED into LobbyInbox, naming the player by the name its dropped line carries.
void PushFloodNotice(int nPlayer, const NetMessage& droppedLine);
// Waits for a thread to end, within the time given, and forgets its handle.
void EndThreadHandle(HANDLE* phThread, DWORD timeoutMs);
HANDLE StartNetworkThread(unsigned(__stdcall* entry)(void*), void* argument);

// Host: each client has a send queue and a sender thread of its own, so a client that stops
// reading holds up nobody else. The relay queues each pass for every open slot; a client
// whose queue would pass SLOT_QUEUE_LIMIT bytes, or that takes nothing for
// LOBBY_SEND_TIMEOUT_MS, is cancelled, and its owner closes it and reports the leave.
const int SLOT_QUEUE_LIMIT = 256 * 1024;
// The kernel's part of a client's backlog, kept small so that a client that stops reading
// is noticed within seconds and holds little memory.
const int SLOT_SEND_BUFFER = 65536;
// Before any slot opens: the senders wait for more rather than finish.
void StartSlotSending();
// Before the slot's socket is published; from then on the relay's passes queue for it.
void OpenSlotQueue(int n);
void QueueForSlot(int n, const char* data, int length);
// The owner's part: starts the sender of slot n, which sends on g_PlayerSockets[n] until
// the slot is cancelled or the senders finish; once it has ended, closes the queue.
HANDLE StartSlotSender(int n);
void CloseSlotQueue(int n);
// At the end of the last relay pass: every sender sends what is queued, ends its stream
// and stops; returns when all have, or after timeoutMs.
void FinishSlotSending(DWORD timeoutMs);

void WakeLobbyPage(HWND hPage);
void WakeListener(int nPort);
void CopyErrorText(char* szError, const char* szText);

// Each side ends all its threads and closes its sockets. StopServer with bDeliver lets
// the dispatch thread send everything queued first and gives the clients a moment to read it.
bool IsServerRunning();
bool IsClientRunning();
void StopServer(bool bDeliver);
void StopClient();
