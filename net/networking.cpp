#include "net_internal.h"

#include <process.h>

#include <cstdio>

namespace {

const WORD WINSOCK_VERSION_2_0 = 2;

// Everything queued is on its way well within this on a working connection; a stalled
// client is cut off by the send time-out instead.
const DWORD SHUTDOWN_DRAIN_MS = 2000;

const char* StartupErrorText(int error)
{
    switch (error) {
    case WSAEFAULT:
        return "The lpWSAData is not a valid pointer.";
    case WSAEINPROGRESS:
        return "A blocking Windows Sockets 1.1 operation is in progress.";
    case WSAEPROCLIM:
        return "Limit on the number of tasks supported by the Windows Sockets implementation has "
               "been reached.";
    case WSASYSNOTREADY:
        return "Indicates that the underlying network subsystem is not ready for network "
               "communication.";
    case WSAVERNOTSUPPORTED:
        return "The version of Windows Sockets support requested is not provided by this "
               "particular Windows Sockets implementation.";
    default:
        return nullptr;
    }
}

bool QueuesDrained()
{
    return IsQueueEmpty(HostIncoming) && IsQueueEmpty(LobbyOutbox) && IsQueueEmpty(HostBroadcast);
}

}  // namespace

void CopyErrorText(char* szError, const char* szText)
{
    std::snprintf(szError, NET_ERROR_TEXT_SIZE, "%s", szText);
}

HANDLE StartNetworkThread(unsigned(__stdcall* entry)(void*), void* argument)
{
    // _beginthreadex rather than _beginthread: stopping a side waits on the thread handles.
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, entry, argument, 0, nullptr));
}

void EndThreadHandle(HANDLE* phThread, DWORD timeoutMs)
{
    if (!*phThread)
        return;
    WaitForSingleObject(*phThread, timeoutMs);
    CloseHandle(*phThread);
    *phThread = nullptr;
}

bool StartNetworking(char* szError)
{
    WSADATA data = {};
    int result = WSAStartup(WINSOCK_VERSION_2_0, &data);
    if (result != 0) {
        const char* text = StartupErrorText(result);
        if (text)
            CopyErrorText(szError, text);
        return false;
    }
    if (data.wVersion != WINSOCK_VERSION_2_0) {
        CopyErrorText(szError, "Wrong version of Winsock!");
        return false;
    }
    g_bStopNetwork = 0;
    return true;
}

void WakeListener(int nPort)
{
    CloseClientConnection();
    if (nPort == 0)
        return;
    // A connection of our own releases the accept thread from accept().
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(nPort));
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    ConnectWithin(s, address, 1000);
    closesocket(s);
}

bool ShutdownNetworking()
{
    if (IsServerRunning() || IsClientRunning()) {
        DWORD start = GetTickCount();
        while (!QueuesDrained() && GetTickCount() - start < SHUTDOWN_DRAIN_MS)
            Sleep(10);
    }
    if (IsServerRunning())
        PushPlayerNotice(HostBroadcast, MSG_PLAYER_LEFT, 0);
    g_bStopNetwork = 1;
    StopServer(true);
    StopClient();
    return true;
}
