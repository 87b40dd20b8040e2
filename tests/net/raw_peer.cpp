#include "raw_peer.h"

#include <cstdio>

Bytes operator+(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::string Hex(const Bytes& bytes)
{
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char part[4] = {};
        std::snprintf(part, sizeof part, i ? " %02X" : "%02X", bytes[i]);
        text += part;
    }
    return text;
}

void StartWinsock()
{
    WSADATA data = {};
    WSAStartup(MAKEWORD(2, 2), &data);
}

static sockaddr_in Loopback(int port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    return address;
}

SOCKET ListenOnLoopback(int* port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(0);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 5) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    int size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    *port = ntohs(address.sin_port);
    return s;
}

int FreePort()
{
    // Asked of every address: our host listens on all of them, and a port that is free on
    // 127.0.0.1 may still be held on another loopback address by somebody else's connection.
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    int size = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    return port;
}

SOCKET ConnectToPort(int port, int receiveBuffer)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (receiveBuffer)
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                   sizeof receiveBuffer);
    sockaddr_in address = Loopback(port);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

bool SendRaw(SOCKET s, const Bytes& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        int sent = send(s, reinterpret_cast<const char*>(bytes.data()) + done,
                        static_cast<int>(bytes.size() - done), 0);
        if (sent <= 0)
            return false;
        done += sent;
    }
    return true;
}

static bool Readable(SOCKET s, DWORD timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit = {};
    limit.tv_sec = static_cast<long>(timeoutMs / 1000);
    limit.tv_usec = static_cast<long>(timeoutMs % 1000) * 1000;
    return select(0, &readable, nullptr, nullptr, &limit) > 0;
}

Bytes ReadBytes(SOCKET s, size_t count, DWORD timeoutMs)
{
    Bytes bytes(count);
    size_t done = 0;
    DWORD start = GetTickCount();
    while (done < count) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs || !Readable(s, timeoutMs - elapsed))
            break;
        int got = recv(s, reinterpret_cast<char*>(bytes.data()) + done,
                       static_cast<int>(count - done), 0);
        if (got <= 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

bool ConnectionEnds(SOCKET s, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    static char sink[65536];
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs || !Readable(s, timeoutMs - elapsed))
            return false;
        if (recv(s, sink, sizeof sink, 0) <= 0)
            return true;
    }
}

static int Int32At(const Bytes& bytes, size_t offset)
{
    unsigned int value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<unsigned int>(bytes[offset + i]) << (8 * i);
    return static_cast<int>(value);
}

bool ReadFrame(SOCKET s, Frame* frame, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    Bytes header = ReadBytes(s, 8, timeoutMs);
    if (header.size() != 8)
        return false;
    int length = Int32At(header, 4);
    if (length < 0 || length > (1 << 20))
        return false;
    DWORD elapsed = GetTickCount() - start;
    Bytes payload = ReadBytes(s, length, timeoutMs > elapsed ? timeoutMs - elapsed : 1);
    if (payload.size() != static_cast<size_t>(length))
        return false;
    frame->type = Int32At(header, 0);
    frame->payload = payload;
    frame->raw = header + payload;
    return true;
}
