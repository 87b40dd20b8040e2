#include "directory_peer.h"

#include "loopback_peer.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Long enough for any wizard under test to act; short enough that a broken test ends.
const DWORD PEER_WAIT_MS = 30000;

// The body length a request announces; 0 without one.
size_t AnnouncedBody(const std::string& header)
{
    std::string lower = header;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = lower.find("content-length:");
    return at == std::string::npos ? 0 : std::strtoul(lower.c_str() + at + 15, nullptr, 10);
}

} // namespace

DirectoryPeer::DirectoryPeer(std::string reply) : reply_(std::move(reply))
{
    WSADATA wsaData = {};
    WSAStartup(MAKEWORD(2, 2), &wsaData);
    listen_ = ListenOn("127.0.0.1", 8, &port_);
    thread_ = std::thread(&DirectoryPeer::Serve, this);
}

DirectoryPeer::~DirectoryPeer()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    closesocket(listen_);
    WSACleanup();
}

void DirectoryPeer::Answer(std::string reply)
{
    std::lock_guard<std::mutex> guard(lock_);
    reply_ = std::move(reply);
}

void DirectoryPeer::Hold()
{
    std::lock_guard<std::mutex> guard(lock_);
    holding_ = true;
}

void DirectoryPeer::Release()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        holding_ = false;
    }
    changed_.notify_all();
}

std::vector<std::string> DirectoryPeer::Requests()
{
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

bool DirectoryPeer::WaitForRequests(size_t count, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

void DirectoryPeer::Serve()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (stopping_ || port_ == 0)
                return;
        }
        if (!WaitReadable(listen_, 50))
            continue;
        SOCKET s = accept(listen_, nullptr, nullptr);
        if (s != INVALID_SOCKET) {
            Exchange(s);
            closesocket(s);
        }
    }
}

void DirectoryPeer::Exchange(SOCKET s)
{
    std::string request;
    char buffer[2048] = {};
    for (;;) {
        size_t headerEnd = request.find("\r\n\r\n");
        if (headerEnd != std::string::npos && request.size() >= headerEnd + 4 + AnnouncedBody(request.substr(0, headerEnd)))
            break;
        if (!WaitReadable(s, PEER_WAIT_MS))
            return;
        int received = recv(s, buffer, sizeof buffer, 0);
        if (received <= 0)
            return;
        request.append(buffer, static_cast<size_t>(received));
    }
    std::string reply;
    {
        std::unique_lock<std::mutex> guard(lock_);
        requests_.push_back(request);
        changed_.notify_all();
        changed_.wait_for(guard, std::chrono::milliseconds(PEER_WAIT_MS), [&] { return !holding_ || stopping_; });
        reply = reply_;
    }
    send(s, reply.data(), static_cast<int>(reply.size()), 0);
    shutdown(s, SD_SEND);
}
