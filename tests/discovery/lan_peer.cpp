#include "lan_peer.h"

#include <cstdio>

void PutLe32(Datagram* bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        (*bytes)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t Le32At(const Datagram& bytes, size_t offset)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string HexOf(const Datagram& bytes)
{
    std::string text;
    for (unsigned char c : bytes) {
        char hex[4] = {};
        std::snprintf(hex, sizeof hex, "%02X ", c);
        text += hex;
    }
    return text;
}

Datagram QueryBytes(uint32_t searchId)
{
    Datagram bytes(128, '\0');
    bytes.replace(0, 4, "QLAN");
    bytes[4] = 1;
    bytes[6] = 1;
    PutLe32(&bytes, 8, searchId);
    return bytes;
}

Datagram AnswerBytes(uint32_t searchId, uint32_t port, uint32_t players, uint32_t maxPlayers, const std::string& name)
{
    Datagram bytes(28, '\0');
    bytes.replace(0, 4, "QLAN");
    bytes[4] = 1;
    bytes[6] = 2;
    PutLe32(&bytes, 8, searchId);
    PutLe32(&bytes, 12, port);
    PutLe32(&bytes, 16, players);
    PutLe32(&bytes, 20, maxPlayers);
    PutLe32(&bytes, 24, static_cast<uint32_t>(name.size()));
    return bytes + name + std::string(1, '\0');
}

UdpPeer::UdpPeer(const char* address, int port, bool shared)
{
    WSADATA data = {};
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    BOOL on = TRUE;
    if (shared)
        setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<u_short>(port));
    local.sin_addr.s_addr = inet_addr(address);
    if (bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
}

UdpPeer::~UdpPeer()
{
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
}

bool UdpPeer::SendTo(const char* address, int port, const Datagram& bytes)
{
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(port));
    to.sin_addr.s_addr = inet_addr(address);
    return sendto(socket_, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<int>(bytes.size());
}

bool UdpPeer::Receive(Datagram* bytes, sockaddr_in* from, DWORD timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1)
        return false;
    char buffer[4096];
    sockaddr_in sender = {};
    int senderLength = sizeof sender;
    int length = recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (length < 0)
        return false;
    bytes->assign(buffer, length);
    if (from)
        *from = sender;
    return true;
}

int UdpPeer::CountReceived(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    int count = 0;
    Datagram bytes;
    for (DWORD elapsed = 0; elapsed < timeoutMs; elapsed = GetTickCount() - start) {
        if (Receive(&bytes, nullptr, timeoutMs - elapsed))
            ++count;
    }
    return count;
}

namespace {

Datagram WithByte(Datagram bytes, size_t offset, char value)
{
    bytes[offset] = value;
    return bytes;
}

Datagram With32(Datagram bytes, size_t offset, uint32_t value)
{
    PutLe32(&bytes, offset, value);
    return bytes;
}

} // namespace

std::vector<NamedDatagram> BadQueries()
{
    const Datagram good = QueryBytes(0x5EA4C0DE);
    return {
        {"empty", ""},
        {"header only", good.substr(0, 12)},
        {"one byte short", good.substr(0, 127)},
        {"one byte long", good + std::string(1, '\0')},
        {"far too long", good + std::string(1900, 'x')},
        {"wrong magic", WithByte(good, 0, 'X')},
        {"version 2", WithByte(good, 4, 2)},
        {"version 0", WithByte(good, 4, 0)},
        {"version in the high byte", WithByte(good, 5, 1)},
        {"kind answer", WithByte(good, 6, 2)},
        {"kind 3", WithByte(good, 6, 3)},
        {"an answer, with nothing asked", AnswerBytes(0x5EA4C0DE, 2000, 1, 4, "Stray")},
    };
}

std::vector<NamedDatagram> BadAnswers(uint32_t searchId)
{
    auto answer = [searchId](uint32_t port, const std::string& name) {
        return AnswerBytes(searchId, port, 1, 4, name);
    };
    const Datagram noTerminator = answer(3005, "NoTerminator");
    return {
        {"empty", ""},
        {"header only", answer(3001, "HeaderOnly").substr(0, 28)},
        {"name cut short", answer(3002, "CutShort").substr(0, 28 + 5)},
        {"one byte long", answer(3003, "OneByteLong") + std::string(1, '\0')},
        {"far too long", answer(3004, "FarTooLong") + std::string(1900, 'x')},
        {"name without its terminator", WithByte(noTerminator, noTerminator.size() - 1, 'X')},
        {"name longer than its field", answer(3006, std::string(80, 'L'))},
        {"name length beyond the datagram", With32(answer(3007, "Beyond"), 24, 0xFFFFFFF0u)},
        {"control character in the name", answer(3008, "Tab\there")},
        {"NUL inside the name", answer(3009, std::string("Nul\0inside", 10))},
        {"wrong magic", WithByte(answer(3010, "WrongMagic"), 3, 'X')},
        {"version 2", WithByte(answer(3011, "Version2"), 4, 2)},
        {"kind query", WithByte(answer(3012, "KindQuery"), 6, 1)},
        {"a query", QueryBytes(searchId)},
        {"another search's answer", AnswerBytes(searchId + 1, 3013, 1, 4, "OtherSearch")},
        {"port 0", answer(0, "Port0")},
        {"port 36001", answer(36001, "Port36001")},
        {"port beyond 16 bits", answer(65536 + 3014, "Port16Bits")},
        {"negative port", answer(0xFFFFFFFFu, "NegativePort")},
        {"players above the maximum", AnswerBytes(searchId, 3015, 5, 4, "TooMany")},
        {"negative players", AnswerBytes(searchId, 3016, 0xFFFFFFFFu, 4, "Negative")},
        {"maximum 0", AnswerBytes(searchId, 3017, 0, 0, "Max0")},
        {"maximum 17", AnswerBytes(searchId, 3018, 1, 17, "Max17")},
    };
}
