// What a misbehaving client may send our host: the host stays up, the other clients keep
// chatting, and nothing is relayed that should not be.
#include "lobby_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum class Outcome {
    HostEndsConnection,  // the host closes it and tells the others player 2 left
    PeerClosesMidway,    // the peer gives up in the middle of a message: a lost connection
    Dropped,             // read and thrown away; the connection carries on
    Relayed,             // goes to everyone as `relayed`
};

struct BadInput {
    const char* name;
    Bytes bytes;
    Outcome outcome;
    Bytes relayed;
    bool oneByteAtATime;
};

Bytes LargestChat()
{
    Bytes text(65535, 'x');
    return Bytes{0xD2, 0x07, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00} + text + Bytes{0x00};
}

const Bytes kHi = Bytes{0xD2, 0x07, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00} + Text("abc->hi") +
                  Bytes{0x0D, 0x0A, 0x00};

const BadInput kBadInputs[] = {
    {"negative length", {0xD2, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, Outcome::HostEndsConnection, {}, false},
    {"length 2^31-1", {0xD2, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F}, Outcome::HostEndsConnection, {}, false},
    {"length 64 KiB + 1", {0xD2, 0x07, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00}, Outcome::HostEndsConnection, {}, false},
    {"garbage", Text("GET / HTTP/1.0\r\n\r\n"), Outcome::HostEndsConnection, {}, false},
    {"header cut in the middle", {0xD2, 0x07, 0x00, 0x00, 0x0A, 0x00}, Outcome::PeerClosesMidway, {}, false},
    {"payload cut short", {0xD2, 0x07, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63}, Outcome::PeerClosesMidway, {}, false},
    {"start signal", START_SIGNAL, Outcome::Dropped, {}, false},
    {"player number", {0xEC, 0x03, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}, Outcome::Dropped, {}, false},
    {"join notice", Joined(3), Outcome::Dropped, {}, false},
    {"leave notice", Left(1), Outcome::Dropped, {}, false},
    {"server full", SERVER_FULL, Outcome::Dropped, {}, false},
    {"chat as player 1", ChatFrame(1, "a->spoof"), Outcome::Dropped, {}, false},
    {"chat as the host", ChatFrame(0, "host->spoof"), Outcome::Dropped, {}, false},
    {"unknown type", {0x10, 0x27, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03}, Outcome::Dropped, {}, false},
    {"empty chat", {0xD2, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, Outcome::Dropped, {}, false},
    {"own chat, one byte at a time", kHi, Outcome::Relayed, kHi, true},
    {"own chat without NUL", {0xD2, 0x07, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63}, Outcome::Relayed,
     {0xD2, 0x07, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x00}, false},
    {"own chat of 64 KiB", LargestChat(), Outcome::Relayed, LargestChat(), false},
};

void SendOneByteAtATime(SOCKET s, const Bytes& bytes)
{
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    for (unsigned char byte : bytes) {
        SendRaw(s, Bytes{byte});
        Sleep(2);
    }
}

bool IsExpectedInHostInbox(const PageMessage& message)
{
    return message.type == MSG_PLAYER_JOINED || message.type == MSG_PLAYER_LEFT ||
           message.type == 2001 || message.type == 2002;
}

TEST(HostAgainstBadInput, StaysUpAndRelaysOnlyWhatAClientMaySay)
{
    StartWinsock();
    SetHandshakeWord(12345);
    int port = FreePort();
    char error[NET_ERROR_TEXT_SIZE] = {};
    ASSERT_TRUE(InitializeServer(port, 4, error)) << error;
    SOCKET observer = ConnectToPort(port);
    ASSERT_EQ(Hex(ReadBytes(observer, 16, 5000)), Hex(Opening(1)));
    ASSERT_TRUE(NextFrameIs(observer, Joined(1)));
    const Bytes marker = ChatFrame(2, "m->still here");

    for (const BadInput& row : kBadInputs) {
        SCOPED_TRACE(row.name);
        SOCKET peer = ConnectToPort(port);
        ASSERT_EQ(Hex(ReadBytes(peer, 16, 5000)), Hex(Opening(2)));
        ASSERT_TRUE(NextFrameIs(observer, Joined(2)));
        if (row.oneByteAtATime)
            SendOneByteAtATime(peer, row.bytes);
        else
            SendRaw(peer, row.bytes);

        switch (row.outcome) {
        case Outcome::HostEndsConnection:
            EXPECT_TRUE(NextFrameIs(observer, Left(2)));
            EXPECT_TRUE(ConnectionEnds(peer, 5000));
            closesocket(peer);
            break;
        case Outcome::PeerClosesMidway:
            closesocket(peer);
            EXPECT_TRUE(NextFrameIs(observer, Left(2)));
            break;
        case Outcome::Dropped:
        case Outcome::Relayed:
            if (row.outcome == Outcome::Relayed) {
                EXPECT_TRUE(NextFrameIs(observer, row.relayed));
            }
            SendRaw(peer, marker);
            EXPECT_TRUE(NextFrameIs(observer, marker)) << "the next thing relayed";
            closesocket(peer);
            EXPECT_TRUE(NextFrameIs(observer, Left(2)));
            break;
        }

        // The other client still chats.
        const Bytes own = ChatFrame(1, "o->" + std::string(row.name));
        SendRaw(observer, own);
        EXPECT_TRUE(NextFrameIs(observer, own));
        ASSERT_TRUE(WaitForCount(LobbyInbox, 1, 2000));
        for (const PageMessage& message : TakeInbox())
            EXPECT_TRUE(IsExpectedInHostInbox(message)) << "host's page got type " << message.type;
        EXPECT_EQ(CountConnectedClients(), 1);
    }
    closesocket(observer);
    ShutdownNetworking();
}

}  // namespace
