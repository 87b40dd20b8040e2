#pragma once
// A directory as the wizard's pages meet it: an HTTP peer on 127.0.0.1, written with raw
// Winsock, that takes any number of requests, one connection each, records their bytes and
// answers each with the bytes it is given. It can hold a request unanswered until it is
// released, so that a test sees what the wizard shows while it waits.
#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DirectoryPeer {
public:
    explicit DirectoryPeer(std::string reply);
    ~DirectoryPeer();
    DirectoryPeer(const DirectoryPeer&) = delete;
    DirectoryPeer& operator=(const DirectoryPeer&) = delete;

    int Port() const { return port_; }
    // The reply to the requests that come after this.
    void Answer(std::string reply);
    // Requests that come after this wait for Release before they are answered.
    void Hold();
    void Release();

    // The requests received so far, header and body, in order.
    std::vector<std::string> Requests();
    bool WaitForRequests(size_t count, DWORD timeoutMs);

private:
    void Serve();
    void Exchange(SOCKET s);

    SOCKET listen_ = INVALID_SOCKET;
    int port_ = 0;
    std::mutex lock_;
    std::condition_variable changed_;
    std::string reply_;
    bool holding_ = false;
    bool stopping_ = false;
    std::vector<std::string> requests_;
    std::thread thread_;
};
