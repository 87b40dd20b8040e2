#include "net_internal.h"

#include <mstcpip.h>

#include <cstring>

// An overlapped receive, so that a cancel event can end the wait without any other thread
// closing the socket. Returns the byte count, 0 when the peer closed, -1 otherwise.
static int ReceiveSome(const Receiver& receiver, char* buffer, int length, DWORD timeoutMs)
{
    WSABUF part = {};
    part.len = static_cast<ULONG>(length);
    part.buf = buffer;
    WSAOVERLAPPED overlapped = {};
    overlapped.hEvent = receiver.hDone;
    DWORD received = 0;
    DWORD flags = 0;
    ResetEvent(receiver.hDone);
    if (WSARecv(receiver.socket, &part, 1, &received, &flags, &overlapped, nullptr) == 0)
        return static_cast<int>(received);
    if (WSAGetLastError() != WSA_IO_PENDING)
        return -1;
    HANDLE events[2] = {receiver.hDone, receiver.hCancel};
    DWORD count = receiver.hCancel ? 2 : 1;
    if (WaitForMultipleObjects(count, events, FALSE, timeoutMs) != WAIT_OBJECT_0) {
        // The receive still refers to this stack frame: it must be over before we return.
        CancelIo(reinterpret_cast<HANDLE>(receiver.socket));
        WSAGetOverlappedResult(receiver.socket, &overlapped, &received, TRUE, &flags);
        return -1;
    }
    if (!WSAGetOverlappedResult(receiver.socket, &overlapped, &received, FALSE, &flags))
        return -1;
    return static_cast<int>(received);
}

bool ReceiveAll(Receiver& receiver, char* buffer, int length, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    int done = 0;
    while (done < length) {
        if (receiver.nBuffered > 0) {
            int part = length - done < receiver.nBuffered ? length - done : receiver.nBuffered;
            std::memcpy(buffer + done, receiver.pBuffer + receiver.nOffset, part);
            receiver.nOffset += part;
            receiver.nBuffered -= part;
            done += part;
            continue;
        }
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs)
                return false;
            remaining = timeoutMs - elapsed;
        }
        // A large payload goes straight to its destination instead of through the buffer.
        if (!receiver.pBuffer || length - done >= RECEIVE_BUFFER_SIZE) {
            int got = ReceiveSome(receiver, buffer + done, length - done, remaining);
            if (got <= 0)
                return false;
            done += got;
        } else {
            int got = ReceiveSome(receiver, receiver.pBuffer, RECEIVE_BUFFER_SIZE, remaining);
            if (got <= 0)
                return false;
            receiver.nOffset = 0;
            receiver.nBuffered = got;
        }
    }
    return true;
}

static bool ReceiveFrameBytes(void* pReceiver, char* buffer, int length)
{
    return ReceiveAll(*static_cast<Receiver*>(pReceiver), buffer, length, INFINITE);
}

bool ReceiveNetMessage(Receiver& receiver, NetMessage* message)
{
    return ReadNetMessage(ReceiveFrameBytes, &receiver, message);
}

bool SendAll(SOCKET s, const char* data, int length)
{
    int done = 0;
    while (done < length) {
        int sent = send(s, data + done, length - done, 0);
        if (sent == SOCKET_ERROR || sent == 0)
            return false;
        done += sent;
    }
    return true;
}

void ConfigureLobbySocket(SOCKET s)
{
    // Without keep-alive a peer that vanished without closing would hold its slot for ever.
    BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    tcp_keepalive keepAlive = {};
    keepAlive.onoff = 1;
    keepAlive.keepalivetime = 60000;
    keepAlive.keepaliveinterval = 5000;
    DWORD returned = 0;
    WSAIoctl(s, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned, nullptr,
             nullptr);
    // Chat is interactive: a header and its payload go out at once, not after the peer's
    // delayed acknowledgement.
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    DWORD timeout = LOBBY_SEND_TIMEOUT_MS;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
}

bool ConnectWithin(SOCKET s, const sockaddr_in& address, DWORD timeoutMs)
{
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR)
        return false;
    bool connected =
        connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(s, &writable);
        fd_set failed;
        FD_ZERO(&failed);
        FD_SET(s, &failed);
        timeval limit = {};
        limit.tv_sec = static_cast<long>(timeoutMs / 1000);
        limit.tv_usec = static_cast<long>(timeoutMs % 1000) * 1000;
        if (select(0, nullptr, &writable, &failed, &limit) > 0) {
            int error = 0;
            int size = sizeof error;
            connected = getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                   &size) == 0 &&
                        error == 0;
        }
    }
    u_long blocking = 0;
    return ioctlsocket(s, FIONBIO, &blocking) == 0 && connected;
}
