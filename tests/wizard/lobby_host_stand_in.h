#pragma once
// A lobby host on a port a wizard may host on, for the pages that join a listed game: greets
// every connection with the handshake and a player number, and counts them.
#include <winsock2.h>
#include <windows.h>

#include <thread>
#include <vector>

class LobbyHostStandIn {
public:
    explicit LobbyHostStandIn(int player);
    ~LobbyHostStandIn();
    LobbyHostStandIn(const LobbyHostStandIn&) = delete;
    LobbyHostStandIn& operator=(const LobbyHostStandIn&) = delete;

    int Port() const { return port_; }
    bool WaitForConnections(LONG count, DWORD timeoutMs);

private:
    int player_;
    int port_ = 0;
    SOCKET listener_ = INVALID_SOCKET;
    volatile LONG connections_ = 0;
    std::vector<SOCKET> sockets_;
    std::thread thread_;
};
