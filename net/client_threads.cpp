#include "net_internal.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

HANDLE g_hReceiveThread;
HANDLE g_hSendThread;

const DWORD OUTBOX_POLL_MS = 50;
const DWORD THREAD_END_MS = LOBBY_SEND_TIMEOUT_MS + 1000;

unsigned __stdcall ClientReceiveThread(void* argument)
{
    char readAhead[RECEIVE_BUFFER_SIZE];
    Receiver receiver = {static_cast<SOCKET>(reinterpret_cast<uintptr_t>(argument)),
                         CreateEventA(nullptr, TRUE, FALSE, nullptr), g_hClientCancel, readAhead,
                         0, 0};
    NetMessage message = {};
    while (receiver.hDone && !g_bStopNetwork && ReceiveNetMessage(receiver, &message)) {
        // The page reads these payloads as a player number or as text.
        if (!KeepFromHost(message)) {
            std::free(message.pData);
            continue;
        }
        int* target = g_pPlayerIdTarget;
        if (message.nType == MSG_PLAYER_ID && target)
            *target = GetInt32(message.pData);
        PushMessage(LobbyInbox, message);
        WakeLobbyPage(g_hClientLobbyWnd);
    }
    if (receiver.hDone)
        CloseHandle(receiver.hDone);
    EnterCriticalSection(&g_ClientLock);
    closesocket(receiver.socket);
    if (g_ClientSocket == receiver.socket)
        g_ClientSocket = 0;
    LeaveCriticalSection(&g_ClientLock);
    if (!g_bStopNetwork)
        PushPlayerNotice(LobbyInbox, MSG_PLAYER_LEFT, 0);
    return 0;
}

void SendToHost(FrameBatch& batch)
{
    EnterCriticalSection(&g_ClientLock);
    SOCKET s = g_ClientSocket;
    if (s && !SendAll(s, batch.pData, batch.nUsed)) {
        SetEvent(g_hClientCancel);  // the receive thread closes the socket
        g_ClientSocket = 0;
    }
    LeaveCriticalSection(&g_ClientLock);
    batch.nUsed = 0;
}

unsigned __stdcall ClientSendThread(void*)
{
    char frames[FRAME_BATCH_SIZE];
    FrameBatch batch = {frames, 0};
    while (!g_bStopNetwork) {
        if (IsQueueEmpty(LobbyOutbox)) {
            Sleep(OUTBOX_POLL_MS);
            continue;
        }
        while (!IsQueueEmpty(LobbyOutbox)) {
            NetMessage message = PopMessage(LobbyOutbox);
            if (!AddFrame(batch, message)) {
                SendToHost(batch);
                AddFrame(batch, message);
            }
            std::free(message.pData);
        }
        SendToHost(batch);
    }
    return 0;
}

bool ReceiveHandshake(SOCKET s)
{
    // No read-ahead: what follows the handshake belongs to the receive thread.
    Receiver receiver = {s, CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr, nullptr, 0, 0};
    if (!receiver.hDone)
        return false;
    char word[4];
    bool received = ReceiveAll(receiver, word, sizeof word, LOBBY_HANDSHAKE_TIMEOUT_MS);
    CloseHandle(receiver.hDone);
    return received && GetInt32(word) == g_nHandshakeWord;
}

}  // namespace

bool IsClientRunning()
{
    return g_hReceiveThread != nullptr || g_hSendThread != nullptr;
}

bool InitializeClient(const char* szAddress, int nPort, char* szError)
{
    StopServer(false);
    StopClient();
    DiscardAllMessages();
    if (!StartNetworking(szError))
        return false;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        CopyErrorText(szError, "Error in InitializeClient(): socket()");
        return false;
    }
    hostent* host = gethostbyname(szAddress);
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list[0]) {
        CopyErrorText(szError, "Error in InitializeClient(): gethostbyname()");
        closesocket(s);
        return false;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(nPort));
    std::memcpy(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
    if (!ConnectWithin(s, address, LOBBY_CONNECT_TIMEOUT_MS)) {
        CopyErrorText(szError, "Error in InitializeClient(): connect()");
        closesocket(s);
        return false;
    }
    ConfigureLobbySocket(s);
    if (!ReceiveHandshake(s)) {
        closesocket(s);
        return false;
    }
    ResetEvent(g_hClientCancel);
    g_ClientSocket = s;
    g_hReceiveThread =
        StartNetworkThread(ClientReceiveThread, reinterpret_cast<void*>(static_cast<uintptr_t>(s)));
    if (!g_hReceiveThread) {
        g_ClientSocket = 0;
        closesocket(s);
        CopyErrorText(szError, "Error in InitializeClient(): _beginthreadex()");
        return false;
    }
    g_hSendThread = StartNetworkThread(ClientSendThread, nullptr);
    if (!g_hSendThread) {
        CopyErrorText(szError, "Error in InitializeClient(): _beginthreadex()");
        StopClient();
        return false;
    }
    return true;
}

void StopClient()
{
    if (!IsClientRunning())
        return;
    g_bStopNetwork = 1;
    // The send thread finishes what it has taken from the outbox before the connection goes.
    EndThreadHandle(&g_hSendThread, THREAD_END_MS);
    CloseClientConnection();
    EndThreadHandle(&g_hReceiveThread, THREAD_END_MS);
}
