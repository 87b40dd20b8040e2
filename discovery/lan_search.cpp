// The joining player's side of LAN discovery: one query to the whole network, repeated
// once, and the answers collected from a non-blocking socket.
#include "lan_discovery.h"

#include <cstdio>
#include <cstring>

LanGame g_LanGames[LAN_MAX_GAMES];
int g_nLanGames;

namespace {

const int RECEIVE_SIZE = 512;
// Answers taken in one call; the rest wait for the next, so that the caller's thread is
// never held by a stream of datagrams.
const int ANSWERS_PER_CALL = 64;

SOCKET g_SearchSocket = INVALID_SOCKET;
uint32_t g_dwSearchId;
DWORD g_dwSearchStart;
bool g_bQueryRepeated;

// Tells this search's answers from those of an earlier one, and makes an answer that
// nobody asked for unlikely to fit.
uint32_t NewSearchId()
{
    static uint32_t searches;
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    ++searches;
    return static_cast<uint32_t>(counter.LowPart) ^ (GetCurrentProcessId() * 2654435761u) ^ (searches * 40503u);
}

bool SendQuery()
{
    unsigned char query[LAN_QUERY_SIZE];
    EncodeLanQuery(g_dwSearchId, query);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(g_nLanDiscoveryPort));
    to.sin_addr.s_addr = inet_addr(g_szLanQueryAddress);
    return sendto(g_SearchSocket, reinterpret_cast<const char*>(query), sizeof query, 0,
                  reinterpret_cast<const sockaddr*>(&to), sizeof to) == static_cast<int>(sizeof query);
}

// A game answers each query of a search: it is listed once, under the address and port
// where it takes players.
bool IsListed(const char* szAddress, int nPort)
{
    for (int i = 0; i < g_nLanGames; ++i) {
        if (g_LanGames[i].nPort == nPort && std::strcmp(g_LanGames[i].szAddress, szAddress) == 0)
            return true;
    }
    return false;
}

void TakeAnswer(const unsigned char* bytes, int length, const sockaddr_in& from)
{
    LanAnswer answer = {};
    if (!DecodeLanAnswer(bytes, static_cast<size_t>(length), &answer) || answer.dwSearchId != g_dwSearchId)
        return;
    char address[16] = {};
    std::snprintf(address, sizeof address, "%s", inet_ntoa(from.sin_addr));
    if (g_nLanGames == LAN_MAX_GAMES || IsListed(address, answer.nPort))
        return;
    LanGame& game = g_LanGames[g_nLanGames++];
    std::memcpy(game.szAddress, address, sizeof address);
    game.nPort = answer.nPort;
    game.nPlayers = answer.nPlayers;
    game.nMaxPlayers = answer.nMaxPlayers;
    std::memcpy(game.szName, answer.szName, sizeof game.szName);
}

void TakeAnswers()
{
    for (int i = 0; i < ANSWERS_PER_CALL; ++i) {
        unsigned char buffer[RECEIVE_SIZE];
        sockaddr_in from = {};
        int fromLength = sizeof from;
        int length = recvfrom(g_SearchSocket, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                              reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length >= 0) {
            if (fromLength == sizeof from && from.sin_family == AF_INET)
                TakeAnswer(buffer, length, from);
            continue;
        }
        int error = WSAGetLastError();
        if (error != WSAEMSGSIZE && error != WSAECONNRESET)
            return;
    }
}

} // namespace

bool BeginLanSearch()
{
    EndLanSearch();
    g_nLanGames = 0;
    WSADATA data = {};
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return false;
    g_SearchSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (g_SearchSocket == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    BOOL broadcast = TRUE;
    u_long nonBlocking = 1;
    g_dwSearchId = NewSearchId();
    if (setsockopt(g_SearchSocket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
                   sizeof broadcast) != 0 ||
        ioctlsocket(g_SearchSocket, FIONBIO, &nonBlocking) != 0 || !SendQuery()) {
        EndLanSearch();
        return false;
    }
    g_dwSearchStart = GetTickCount();
    g_bQueryRepeated = false;
    return true;
}

bool ContinueLanSearch()
{
    if (g_SearchSocket == INVALID_SOCKET)
        return false;
    TakeAnswers();
    DWORD elapsed = GetTickCount() - g_dwSearchStart;
    if (!g_bQueryRepeated && elapsed >= LAN_REPEAT_QUERY_MS) {
        SendQuery();
        g_bQueryRepeated = true;
    }
    if (elapsed >= LAN_SEARCH_MS) {
        EndLanSearch();
        return false;
    }
    return true;
}

void EndLanSearch()
{
    if (g_SearchSocket == INVALID_SOCKET)
        return;
    closesocket(g_SearchSocket);
    g_SearchSocket = INVALID_SOCKET;
    WSACleanup();
}
