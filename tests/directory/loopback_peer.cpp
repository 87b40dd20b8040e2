#include "loopback_peer.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace {

// Long enough for any client under test to act; short enough that a broken test ends.
const DWORD PEER_WAIT_MS = 30000;

}  // namespace

bool WaitReadable(SOCKET s, DWORD dwMs)
{
    fd_set readable = {};
    FD_SET(s, &readable);
    timeval tv = {};
    tv.tv_sec = static_cast<long>(dwMs / 1000);
    tv.tv_usec = static_cast<long>((dwMs % 1000) * 1000);
    return select(0, &readable, nullptr, nullptr, &tv) > 0;
}

SOCKET ListenOn(const char* szAddress, int nBacklog, int* pnPort)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr(szAddress);
    int nSize = sizeof address;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, nBacklog) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &nSize) != 0) {
        if (s != INVALID_SOCKET)
            closesocket(s);
        return INVALID_SOCKET;
    }
    *pnPort = ntohs(address.sin_port);
    return s;
}

LoopbackPeer::LoopbackPeer(std::string reply, PeerEnding ending, size_t nBodyBytes, const char* szAddress)
    : reply_(std::move(reply)), ending_(ending), bodyBytes_(nBodyBytes)
{
    WSADATA wsaData = {};
    WSAStartup(MAKEWORD(2, 2), &wsaData);
    listen_ = ListenOn(szAddress, 1, &port_);
    thread_ = std::thread(&LoopbackPeer::Serve, this);
}

LoopbackPeer::~LoopbackPeer()
{
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listen_ != INVALID_SOCKET) {
        closesocket(listen_);
    }
    WSACleanup();
}

std::string LoopbackPeer::Request()
{
    if (thread_.joinable()) {
        thread_.join();
    }
    return request_;
}

void LoopbackPeer::Serve()
{
    if (listen_ == INVALID_SOCKET || !WaitReadable(listen_, PEER_WAIT_MS)) {
        return;
    }
    SOCKET s = accept(listen_, nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        return;
    }
    ReadRequest(s);
    Finish(s);
    closesocket(s);
}

void LoopbackPeer::ReadRequest(SOCKET s)
{
    char buffer[2048] = {};
    for (;;) {
        size_t nHeaderEnd = request_.find("\r\n\r\n");
        if (nHeaderEnd != std::string::npos && request_.size() >= nHeaderEnd + 4 + bodyBytes_) {
            return;
        }
        if (!WaitReadable(s, PEER_WAIT_MS)) {
            return;
        }
        int nReceived = recv(s, buffer, sizeof buffer, 0);
        if (nReceived <= 0) {
            return;
        }
        request_.append(buffer, static_cast<size_t>(nReceived));
    }
}

void LoopbackPeer::Finish(SOCKET s)
{
    if (!reply_.empty()) {
        send(s, reply_.data(), static_cast<int>(reply_.size()), 0);
    }
    DWORD dwStart = GetTickCount();
    char buffer[4096] = {};
    switch (ending_) {
    case PeerEnding::Close:
        shutdown(s, SD_SEND);
        break;
    case PeerEnding::Silent:
        // recv returns when the client closes its end.
        if (WaitReadable(s, PEER_WAIT_MS)) {
            recv(s, buffer, sizeof buffer, 0);
        }
        break;
    case PeerEnding::Endless:
        std::fill(buffer, buffer + sizeof buffer, 'x');
        while (GetTickCount() - dwStart < PEER_WAIT_MS && send(s, buffer, sizeof buffer, 0) > 0) {
        }
        break;
    case PeerEnding::Drip:
        while (GetTickCount() - dwStart < PEER_WAIT_MS && send(s, "x", 1, 0) == 1) {
            Sleep(250);
        }
        break;
    }
}

RefusingPort::RefusingPort()
{
    WSADATA wsaData = {};
    WSAStartup(MAKEWORD(2, 2), &wsaData);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    int nSize = sizeof address;
    if (socket_ != INVALID_SOCKET && bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &nSize) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

RefusingPort::~RefusingPort()
{
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
    }
    WSACleanup();
}
