// The host's side of LAN discovery: a thread that waits on the discovery port and answers.
#include "lan_discovery.h"

#include <process.h>

#include <cstring>

#include "answer_limit.h"

namespace {

// Larger than any datagram of ours, so that a longer one is seen as too long and not cut
// down to something that looks right.
const int RECEIVE_SIZE = 512;
// After this many datagrams in a row the thread looks at its stop event again.
const int DATAGRAMS_PER_ROUND = 64;

struct Responder {
    HANDLE hThread;
    HANDLE hStop;
    HANDLE hReadable;
    SOCKET socket;  // closed by the thread, which owns it once it runs
    LanAnswer answer;
    int (*pfnCountPlayers)();
    AnswerLimit limit;
};
Responder g_Responder;

void AnswerQuery(const unsigned char* query, int length, const sockaddr_in& from)
{
    uint32_t searchId = 0;
    if (!DecodeLanQuery(query, static_cast<size_t>(length), &searchId) ||
        !MayAnswer(g_Responder.limit, from.sin_addr.s_addr, GetTickCount()))
        return;
    LanAnswer answer = g_Responder.answer;
    answer.dwSearchId = searchId;
    answer.nPlayers = g_Responder.pfnCountPlayers();
    unsigned char bytes[LAN_ANSWER_MAX_SIZE] = {};
    size_t size = EncodeLanAnswer(answer, bytes);
    // Nothing to do when it cannot go: the player asks again.
    sendto(g_Responder.socket, reinterpret_cast<const char*>(bytes), static_cast<int>(size), 0,
           reinterpret_cast<const sockaddr*>(&from), sizeof from);
}

// False when the socket fails for good.
bool AnswerWaitingQueries()
{
    WSANETWORKEVENTS events = {};
    WSAEnumNetworkEvents(g_Responder.socket, g_Responder.hReadable, &events);
    for (int i = 0; i < DATAGRAMS_PER_ROUND; ++i) {
        unsigned char buffer[RECEIVE_SIZE];
        sockaddr_in from = {};
        int fromLength = sizeof from;
        int length = recvfrom(g_Responder.socket, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                              reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length >= 0) {
            if (fromLength == sizeof from && from.sin_family == AF_INET)
                AnswerQuery(buffer, length, from);
            continue;
        }
        switch (WSAGetLastError()) {
        case WSAEWOULDBLOCK:
            return true;
        case WSAEMSGSIZE:     // too long for any query: dropped
        case WSAECONNRESET:   // an earlier answer found nobody listening
            continue;
        default:
            return false;
        }
    }
    // More may be waiting: the event is set again, and the stop event is looked at first.
    SetEvent(g_Responder.hReadable);
    return true;
}

unsigned __stdcall ResponderThread(void*)
{
    const HANDLE waits[2] = {g_Responder.hStop, g_Responder.hReadable};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        if (!AnswerWaitingQueries())
            break;
    }
    closesocket(g_Responder.socket);
    return 0;
}

SOCKET OpenDiscoveryPort()
{
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return s;
    // Every game on this machine listens on the same port; a query sent to a broadcast
    // address reaches each of them.
    BOOL reuse = TRUE;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(g_nLanDiscoveryPort));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse) != 0 ||
        bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

void CloseResponderHandles()
{
    if (g_Responder.hStop)
        CloseHandle(g_Responder.hStop);
    if (g_Responder.hReadable)
        WSACloseEvent(g_Responder.hReadable);
    g_Responder.hStop = nullptr;
    g_Responder.hReadable = nullptr;
}

} // namespace

bool StartLanResponder(const char* szServerName, int nLobbyPort, int nMaxPlayers, int (*pfnCountPlayers)())
{
    StopLanResponder();
    WSADATA data = {};
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return false;
    g_Responder = Responder();
    g_Responder.answer.nPort = nLobbyPort;
    g_Responder.answer.nMaxPlayers = nMaxPlayers;
    std::strncpy(g_Responder.answer.szName, szServerName, LAN_NAME_MAX);
    g_Responder.pfnCountPlayers = pfnCountPlayers;
    g_Responder.socket = OpenDiscoveryPort();
    g_Responder.hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_Responder.hReadable = WSACreateEvent();
    if (g_Responder.socket != INVALID_SOCKET && g_Responder.hStop && g_Responder.hReadable != WSA_INVALID_EVENT &&
        WSAEventSelect(g_Responder.socket, g_Responder.hReadable, FD_READ) == 0)
        g_Responder.hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ResponderThread, nullptr, 0, nullptr));
    if (!g_Responder.hThread) {
        if (g_Responder.socket != INVALID_SOCKET)
            closesocket(g_Responder.socket);
        CloseResponderHandles();
        WSACleanup();
        return false;
    }
    return true;
}

void StopLanResponder()
{
    if (!g_Responder.hThread)
        return;
    SetEvent(g_Responder.hStop);
    // The thread never blocks on anything but its wait for the socket or this event.
    WaitForSingleObject(g_Responder.hThread, INFINITE);
    CloseHandle(g_Responder.hThread);
    g_Responder.hThread = nullptr;
    CloseResponderHandles();
    WSACleanup();
}
