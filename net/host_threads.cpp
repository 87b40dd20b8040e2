#include "net_internal.h"

#include "flood_limit.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

HANDLE g_hAcceptThread;
HANDLE g_hDispatchThread;
HANDLE g_hPlayerThreads[LOBBY_MAX_PLAYERS];
int g_nMaxPlayers = LOBBY_MAX_PLAYERS;

const DWORD RELAY_PASS_MS = 200;
const DWORD THREAD_END_MS = 2000;
// How long the clients get to read the start signal and close their end before the host
// closes its own; a close with unread data would reset the connection and could destroy
// what is still in flight to them.
const DWORD FAREWELL_MS = 1000;

int LowestFreeSlot()
{
    for (int n = 1; n < g_nMaxPlayers; ++n)
        if (!g_PlayerSockets[n])
            return n;
    return 0;
}

void RefuseClient(SOCKET s)
{
    char full[8];
    PutInt32(full, MSG_SERVER_FULL);
    PutInt32(full + 4, 0);
    SendAll(s, full, sizeof full);
    shutdown(s, SD_SEND);
    closesocket(s);
}

// The host's page hears of a client whose lines are dropped, at most every
// FLOOD_NOTICE_INTERVAL_MS.
void NoteDroppedLine(int n, const NetMessage& line, DWORD* pLastNoticeMs)
{
    if (GetTickCount() - *pLastNoticeMs < FLOOD_NOTICE_INTERVAL_MS)
        return;
    *pLastNoticeMs = GetTickCount();
    PushFloodNotice(n, line);
    if (g_bServerLobbyActive)
        WakeLobbyPage(g_hServerLobbyWnd);
}

unsigned __stdcall HostPlayerThread(void* argument)
{
    int n = static_cast<int>(reinterpret_cast<intptr_t>(argument));
    char readAhead[RECEIVE_BUFFER_SIZE];
    Receiver receiver = {g_PlayerSockets[n], CreateEventA(nullptr, TRUE, FALSE, nullptr),
                         g_hSlotCancel[n], readAhead, 0, 0};
    HANDLE hSender = receiver.hDone ? StartSlotSender(n) : nullptr;
    PushPlayerNotice(HostIncoming, MSG_PLAYER_JOINED, n);
    FloodLimit limit = {};
    StartFloodLimit(limit, GetTickCount());
    DWORD lastNoticeMs = GetTickCount() - FLOOD_NOTICE_INTERVAL_MS;  // the first is named at once
    NetMessage message = {};
    // A flooding client is still read to the end of each message, so its stream stays in step.
    while (hSender && !g_bStopNetwork && ReceiveNetMessage(receiver, &message)) {
        if (!KeepFromClient(n, message)) {
            std::free(message.pData);
        } else if (AdmitLine(limit, message.nLength, GetTickCount())) {
            PushMessage(HostIncoming, message);
        } else {
            NoteDroppedLine(n, message, &lastNoticeMs);
            std::free(message.pData);
        }
    }
    if (receiver.hDone)
        CloseHandle(receiver.hDone);
    // A lost connection stops the sender at once; when the server stops, the sender first
    // delivers the last messages.
    if (!g_bStopNetwork)
        SetEvent(g_hSlotCancel[n]);
    if (hSender) {
        WaitForSingleObject(hSender, INFINITE);
        CloseHandle(hSender);
    }
    CloseSlotQueue(n);
    closesocket(receiver.socket);
    g_PlayerSockets[n] = 0;
    if (!g_bStopNetwork) {
        PushPlayerNotice(HostIncoming, MSG_PLAYER_LEFT, n);
        if (g_bServerLobbyActive)
            WakeLobbyPage(g_hServerLobbyWnd);
    }
    return 0;
}

void AdmitClient(SOCKET s)
{
    int n = LowestFreeSlot();
    if (n == 0) {
        RefuseClient(s);
        return;
    }
    ConfigureLobbySocket(s);
    int sendBuffer = SLOT_SEND_BUFFER;
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBuffer), sizeof sendBuffer);
    // The opening goes out before the slot is published, so that no relayed message can
    // reach the client ahead of its handshake.
    char opening[16];
    PutInt32(opening, g_nHandshakeWord);
    PutInt32(opening + 4, MSG_PLAYER_ID);
    PutInt32(opening + 8, 4);
    PutInt32(opening + 12, n);
    if (!SendAll(s, opening, sizeof opening)) {
        closesocket(s);
        return;
    }
    // The slot's previous thread freed it as its last act: it is ending or has ended.
    EndThreadHandle(&g_hPlayerThreads[n], THREAD_END_MS);
    ResetEvent(g_hSlotCancel[n]);
    OpenSlotQueue(n);
    g_PlayerSockets[n] = s;
    g_hPlayerThreads[n] =
        StartNetworkThread(HostPlayerThread, reinterpret_cast<void*>(static_cast<intptr_t>(n)));
    if (!g_hPlayerThreads[n]) {
        CloseSlotQueue(n);
        g_PlayerSockets[n] = 0;
        closesocket(s);
    }
}

unsigned __stdcall HostAcceptThread(void*)
{
    while (!g_bStopNetwork) {
        SOCKET s = accept(g_ListenSocket, nullptr, nullptr);
        if (g_bStopNetwork) {
            if (s != INVALID_SOCKET)
                closesocket(s);
            break;
        }
        if (s == INVALID_SOCKET) {
            // Out of sockets or memory, say: try again later rather than spin.
            Sleep(100);
            continue;
        }
        AdmitClient(s);
    }
    return 0;
}

void SendToClients(FrameBatch& batch)
{
    for (int n = 1; n < LOBBY_MAX_PLAYERS; ++n)
        QueueForSlot(n, batch.pData, batch.nUsed);
    batch.nUsed = 0;
}

void HandToHostPage(const NetMessage& message)
{
    NetMessage copy = {};
    copy.nType = message.nType;
    if (message.nLength > 0) {
        copy.pData = static_cast<char*>(std::malloc(message.nLength));
        if (!copy.pData)
            return;
        std::memcpy(copy.pData, message.pData, message.nLength);
        copy.nLength = message.nLength;
    }
    PushMessage(LobbyInbox, copy);
    if (g_bServerLobbyActive)
        WakeLobbyPage(g_hServerLobbyWnd);
}

unsigned __stdcall HostDispatchThread(void*)
{
    char frames[FRAME_BATCH_SIZE];
    FrameBatch batch = {frames, 0};
    while (!(g_bStopNetwork && IsQueueEmpty(HostIncoming) && IsQueueEmpty(LobbyOutbox) &&
             IsQueueEmpty(HostBroadcast))) {
        Sleep(RELAY_PASS_MS);
        // Within one pass, what the clients sent goes out before what the host typed.
        MoveMessages(HostIncoming, HostBroadcast);
        MoveMessages(LobbyOutbox, HostBroadcast);
        while (!IsQueueEmpty(HostBroadcast)) {
            NetMessage message = PopMessage(HostBroadcast);
            HandToHostPage(message);
            if (!AddFrame(batch, message)) {
                SendToClients(batch);
                AddFrame(batch, message);
            }
            std::free(message.pData);
        }
        if (batch.nUsed > 0)
            SendToClients(batch);
    }
    return 0;
}

void CancelAllSlots()
{
    for (int n = 1; n < LOBBY_MAX_PLAYERS; ++n)
        SetEvent(g_hSlotCancel[n]);
}

void WaitForPlayerThreads(DWORD timeoutMs)
{
    HANDLE running[LOBBY_MAX_PLAYERS] = {};
    DWORD count = 0;
    for (int n = 1; n < LOBBY_MAX_PLAYERS; ++n)
        if (g_hPlayerThreads[n])
            running[count++] = g_hPlayerThreads[n];
    if (count)
        WaitForMultipleObjects(count, running, TRUE, timeoutMs);
}

}  // namespace

bool IsServerRunning()
{
    return g_hAcceptThread != nullptr;
}

bool InitializeServer(int nPort, int nMaxPlayers, char* szError)
{
    if (IsServerRunning() && !g_bStopNetwork && g_nListenPort == nPort)
        return true;
    StopClient();
    StopServer(false);
    DiscardAllMessages();
    if (!StartNetworking(szError))
        return false;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        CopyErrorText(szError, "Error in InitializeServer: socket()");
        return false;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
        CopyErrorText(szError, "Error in InitializeServer: bind()");
        closesocket(s);
        return false;
    }
    if (listen(s, 5) == SOCKET_ERROR) {
        CopyErrorText(szError, "Error in InitializeServer():listen()");
        closesocket(s);
        return false;
    }
    g_ListenSocket = s;
    for (int n = 0; n < LOBBY_MAX_PLAYERS; ++n)
        g_PlayerSockets[n] = 0;
    g_nListenPort = nPort;
    StartSlotSending();
    g_nMaxPlayers = nMaxPlayers < 1 ? 1 : nMaxPlayers > LOBBY_MAX_PLAYERS ? LOBBY_MAX_PLAYERS
                                                                            : nMaxPlayers;
    g_hAcceptThread = StartNetworkThread(HostAcceptThread, nullptr);
    g_hDispatchThread = StartNetworkThread(HostDispatchThread, nullptr);
    if (!g_hAcceptThread || !g_hDispatchThread) {
        CopyErrorText(szError, "Error in InitializeServer: _beginthreadex()");
        StopServer(false);
        return false;
    }
    return true;
}

void StopServer(bool bDeliver)
{
    if (!g_hAcceptThread && !g_hDispatchThread)
        return;
    g_bStopNetwork = 1;
    WakeListener(g_nListenPort);
    EndThreadHandle(&g_hAcceptThread, THREAD_END_MS);
    // Closed only once the accept thread is gone, so it can never wait on a reused handle.
    if (g_ListenSocket)
        closesocket(g_ListenSocket);
    g_ListenSocket = 0;
    g_nListenPort = 0;
    if (bDeliver) {
        EndThreadHandle(&g_hDispatchThread, THREAD_END_MS);
        FinishSlotSending(LOBBY_SEND_TIMEOUT_MS + RELAY_PASS_MS);
        WaitForPlayerThreads(FAREWELL_MS);
    } else {
        CancelAllSlots();
        EndThreadHandle(&g_hDispatchThread, THREAD_END_MS);
    }
    CancelAllSlots();
    for (int n = 1; n < LOBBY_MAX_PLAYERS; ++n)
        EndThreadHandle(&g_hPlayerThreads[n], THREAD_END_MS);
}

int CountConnectedClients()
{
    int count = 0;
    for (int n = 1; n < LOBBY_MAX_PLAYERS; ++n)
        if (g_PlayerSockets[n])
            ++count;
    return count;
}
