#include "http_client.h"

#include "http_reply.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The wizard waits on these requests with its window frozen, so no step may take long.
const DWORD HTTP_CONNECT_TIMEOUT_MS = 5000;
const DWORD HTTP_RECEIVE_TIMEOUT_MS = 5000;
const DWORD HTTP_REQUEST_TIMEOUT_MS = 10000;

struct Deadline {
    DWORD dwStart;
};

Deadline StartDeadline()
{
    Deadline deadline = {};
    deadline.dwStart = GetTickCount();
    return deadline;
}

// The time a step may take: its own limit, or what is left of the whole request.
DWORD StepTimeout(const Deadline& deadline, DWORD dwStepMs)
{
    DWORD dwElapsed = GetTickCount() - deadline.dwStart;
    if (dwElapsed >= HTTP_REQUEST_TIMEOUT_MS) {
        return 0;
    }
    DWORD dwLeft = HTTP_REQUEST_TIMEOUT_MS - dwElapsed;
    return dwLeft < dwStepMs ? dwLeft : dwStepMs;
}

timeval ToTimeval(DWORD dwMs)
{
    timeval tv = {};
    tv.tv_sec = static_cast<long>(dwMs / 1000);
    tv.tv_usec = static_cast<long>((dwMs % 1000) * 1000);
    return tv;
}

// A dotted address is taken as it is: looking it up backwards would fail for an address
// without a reverse name, and the request needs only the address.
bool ResolveHost(const char* szHost, in_addr* pAddress)
{
    unsigned long ulDotted = inet_addr(szHost);
    if (ulDotted != INADDR_NONE) {
        pAddress->s_addr = ulDotted;
        return true;
    }
    hostent* pHost = gethostbyname(szHost);
    if (pHost == nullptr || pHost->h_addrtype != AF_INET || pHost->h_length != 4 ||
        pHost->h_addr_list[0] == nullptr) {
        return false;
    }
    std::memcpy(pAddress, pHost->h_addr_list[0], 4);
    return true;
}

bool WaitUntilConnected(SOCKET s, DWORD dwTimeoutMs)
{
    fd_set writable = {};
    fd_set failed = {};
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv = ToTimeval(dwTimeoutMs);
    if (select(0, nullptr, &writable, &failed, &tv) <= 0 || !FD_ISSET(s, &writable)) {
        return false;
    }
    int nError = 0;
    int nErrorSize = sizeof nError;
    return getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError), &nErrorSize) == 0 &&
           nError == 0;
}

// Connects with a time-out: a blocking connect to a host that drops the packets would
// wait as long as the system likes.
SOCKET ConnectTo(const char* szHost, int nPort, const Deadline& deadline)
{
    in_addr address = {};
    if (nPort < 1 || nPort > 65535 || !ResolveHost(szHost, &address)) {
        return INVALID_SOCKET;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<u_short>(nPort));
    target.sin_addr = address;

    u_long ulNonBlocking = 1;
    ioctlsocket(s, FIONBIO, &ulNonBlocking);
    bool bConnected = connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 ||
                      (WSAGetLastError() == WSAEWOULDBLOCK &&
                       WaitUntilConnected(s, StepTimeout(deadline, HTTP_CONNECT_TIMEOUT_MS)));
    ulNonBlocking = 0;
    ioctlsocket(s, FIONBIO, &ulNonBlocking);
    if (!bConnected) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    // The requests are small enough for the socket's buffer; this only guards a peer
    // that accepts and never reads.
    DWORD dwSendTimeout = HTTP_RECEIVE_TIMEOUT_MS;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&dwSendTimeout), sizeof dwSendTimeout);
    return s;
}

bool SendAll(SOCKET s, const char* pData, int nLength)
{
    while (nLength > 0) {
        int nSent = send(s, pData, nLength, 0);
        if (nSent <= 0) {
            return false;
        }
        pData += nSent;
        nLength -= nSent;
    }
    return true;
}

enum ReceiveResult { RECEIVED, STREAM_ENDED, TIMED_OUT };

// One bounded receive. A receive error ends the reply as the end of the stream does:
// what arrived before it is kept.
ReceiveResult ReceiveSome(SOCKET s, char* pBuffer, int nSize, const Deadline& deadline, int* pnReceived)
{
    fd_set readable = {};
    FD_SET(s, &readable);
    timeval tv = ToTimeval(StepTimeout(deadline, HTTP_RECEIVE_TIMEOUT_MS));
    if (select(0, &readable, nullptr, nullptr, &tv) <= 0) {
        return TIMED_OUT;
    }
    *pnReceived = recv(s, pBuffer, nSize, 0);
    return *pnReceived > 0 ? RECEIVED : STREAM_ENDED;
}

// Reads until the server closes. False when the reply did not end within the time or
// size bound: a reply cut short is not trusted.
bool ReadReply(SOCKET s, const Deadline& deadline, std::string* pReply)
{
    char buffer[4096] = {};
    for (;;) {
        int nReceived = 0;
        ReceiveResult result = ReceiveSome(s, buffer, sizeof buffer, deadline, &nReceived);
        if (result == STREAM_ENDED) {
            return true;
        }
        if (result == TIMED_OUT) {
            return false;
        }
        if (!AddReplyBytes(pReply, buffer, static_cast<size_t>(nReceived))) {
            return false;
        }
    }
}

// Reads and drops the reply, only to let the server finish before the connection closes.
// A reply as long as the body that was sent counts as complete.
void DrainReply(SOCKET s, const Deadline& deadline, int nBodyLength)
{
    char buffer[1024] = {};
    int nTotal = 0;
    while (nTotal != nBodyLength && static_cast<size_t>(nTotal) <= HTTP_MAX_REPLY) {
        int nReceived = 0;
        if (ReceiveSome(s, buffer, 1000, deadline, &nReceived) != RECEIVED) {
            return;
        }
        nTotal += nReceived;
    }
}

}  // namespace

char* HttpGet(const char* szHost, const char* szPath, int nPort, int* pnBodyLength)
{
    char szRequest[1024] = {};
    int nRequestLength = std::snprintf(szRequest, sizeof szRequest, "GET %s HTTP/1.0\nHost: %s\r\n\r\n", szPath, szHost);
    if (nRequestLength < 0 || nRequestLength >= static_cast<int>(sizeof szRequest)) {
        return nullptr;
    }
    WSADATA wsaData = {};
    if (WSAStartup(0x0101, &wsaData) != 0) {
        return nullptr;
    }
    Deadline deadline = StartDeadline();
    char* pBody = nullptr;
    SOCKET s = ConnectTo(szHost, nPort, deadline);
    if (s != INVALID_SOCKET) {
        std::string reply;
        if (SendAll(s, szRequest, nRequestLength) && ReadReply(s, deadline, &reply)) {
            pBody = ExtractBody(reply, pnBodyLength);
        }
        closesocket(s);
    }
    WSACleanup();
    return pBody;
}

void HttpPost(const char* szHost, const char* szPath, int nPort, const void* pBody, int nBodyLength)
{
    char szHeader[1024] = {};
    int nHeaderLength = std::snprintf(szHeader, sizeof szHeader,
                                      "POST %s HTTP/1.0\r\nContent-type: application/x-www-form-urlencoded\r\n"
                                      "Content-length: %d\r\n\r\n",
                                      szPath, nBodyLength);
    if (nBodyLength < 0 || nHeaderLength < 0 || nHeaderLength >= static_cast<int>(sizeof szHeader)) {
        return;
    }
    WSADATA wsaData = {};
    if (WSAStartup(0x0101, &wsaData) != 0) {
        return;
    }
    Deadline deadline = StartDeadline();
    SOCKET s = ConnectTo(szHost, nPort, deadline);
    if (s != INVALID_SOCKET) {
        if (SendAll(s, szHeader, nHeaderLength) && SendAll(s, static_cast<const char*>(pBody), nBodyLength)) {
            DrainReply(s, deadline, nBodyLength);
        }
        closesocket(s);
    }
    WSACleanup();
}
