#pragma once
// A one-connection HTTP peer on a loopback address, written with raw Winsock: it records
// the exact bytes of the request it receives and answers with the bytes it is given.
#include <winsock2.h>

#include <string>
#include <thread>

// Whether a byte (or the peer's end) can be read from s within dwMs.
bool WaitReadable(SOCKET s, DWORD dwMs);
// A socket listening on the address at a port of the system's choosing, which goes into
// *pnPort; INVALID_SOCKET when that fails.
SOCKET ListenOn(const char* szAddress, int nBacklog, int* pnPort);

enum class PeerEnding {
    Close,    // send the reply, then close
    Silent,   // send the reply, then say nothing more until the client goes away
    Endless,  // send the reply, then keep sending data until the client goes away
    Drip,     // send the reply, then one byte at a time, slowly, until the client goes away
};

class LoopbackPeer {
public:
    // nBodyBytes: how many bytes the request carries after its empty line.
    LoopbackPeer(std::string reply, PeerEnding ending, size_t nBodyBytes = 0, const char* szAddress = "127.0.0.1");
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int Port() const { return port_; }
    // Waits until the peer has finished its exchange and returns the request's bytes.
    std::string Request();

private:
    void Serve();
    void ReadRequest(SOCKET s);
    void Finish(SOCKET s);

    std::string reply_;
    PeerEnding ending_;
    size_t bodyBytes_;
    SOCKET listen_ = INVALID_SOCKET;
    int port_ = 0;
    std::string request_;
    std::thread thread_;
};

// A loopback port that refuses connections: bound but not listening, and so kept from
// anyone else for as long as this lives.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int Port() const { return port_; }

private:
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};
