#pragma once
// LAN discovery peers made of plain UDP sockets, and discovery datagrams written out byte by
// byte from the layout, so that each side is checked against the protocol and not against
// our own encoder.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The discovery port of the test builds.
extern int g_nLanDiscoveryPort;

using Datagram = std::string;

void PutLe32(Datagram* bytes, size_t offset, uint32_t value);
uint32_t Le32At(const Datagram& bytes, size_t offset);
// "51 4C 41 4E ...", for failure messages.
std::string HexOf(const Datagram& bytes);

// "QLAN", version 1, kind 1, the search id, zero padding to 128 bytes.
Datagram QueryBytes(uint32_t searchId);
// "QLAN", version 1, kind 2, the search id, port, players, maximum, name length, the name and
// its NUL.
Datagram AnswerBytes(uint32_t searchId, uint32_t port, uint32_t players, uint32_t maxPlayers, const std::string& name);

class UdpPeer {
public:
    // Bound to the address and port (0: any port); with shared = true beside other sockets on
    // that port, as every game of a machine binds the discovery port.
    explicit UdpPeer(const char* address = "0.0.0.0", int port = 0, bool shared = false);
    ~UdpPeer();
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    bool IsOpen() const { return socket_ != INVALID_SOCKET; }
    bool SendTo(const char* address, int port, const Datagram& bytes);
    // The next datagram within the time; false when none came.
    bool Receive(Datagram* bytes, sockaddr_in* from, DWORD timeoutMs);
    // Reads for the whole time; how many datagrams came.
    int CountReceived(DWORD timeoutMs);

private:
    SOCKET socket_ = INVALID_SOCKET;
};

// Datagrams that a side must ignore, each with its name for failure messages. The answers
// carry the search id given, so that they fail only for what their name says; each has a
// name and port of its own, by which a line listed from it would be known.
struct NamedDatagram {
    const char* name;
    Datagram bytes;
};
std::vector<NamedDatagram> BadQueries();
std::vector<NamedDatagram> BadAnswers(uint32_t searchId);
