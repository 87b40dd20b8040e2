// Our client against a scripted host: a raw listening socket on 127.0.0.1 whose bytes are
// written out in the test.
#include "lobby_bytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace {

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartWinsock();
        SetHandshakeWord(12345);
        listener_ = ListenOnLoopback(&port_);
        ASSERT_NE(listener_, INVALID_SOCKET);
    }

    void TearDown() override
    {
        ShutdownNetworking();
        for (SOCKET s : hostSides_)
            closesocket(s);
        closesocket(listener_);
        SetPlayerIdTarget(nullptr);
        SetClientLobbyWnd(nullptr);
        TakeInbox();
    }

    // Our client connects while another thread plays the host: it accepts, then runs the
    // script on its end of the connection.
    bool Connect(const std::function<void(SOCKET)>& script, char* error, SOCKET* hostSide)
    {
        SOCKET accepted = INVALID_SOCKET;
        std::thread host([&] {
            accepted = accept(listener_, nullptr, nullptr);
            script(accepted);
        });
        bool connected = InitializeClient("127.0.0.1", port_, error);
        host.join();
        hostSides_.push_back(accepted);
        *hostSide = accepted;
        return connected;
    }

    // A successful opening: the handshake, then player number 2.
    SOCKET ConnectAsPlayer2()
    {
        char error[NET_ERROR_TEXT_SIZE] = {};
        SOCKET hostSide = INVALID_SOCKET;
        EXPECT_TRUE(Connect([](SOCKET s) { SendRaw(s, Opening(2)); }, error, &hostSide)) << error;
        return hostSide;
    }

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::vector<SOCKET> hostSides_;
};

bool ClientConnectionGone()
{
    return GetClientSocket() == 0;
}

TEST_F(ClientTest, AnOpeningWithoutTheHandshakeWordFailsQuietly)
{
    struct Refusal {
        const char* name;
        Bytes bytes;
        bool hostCloses;
    };
    const Refusal refusals[] = {
        {"wrong handshake word", Bytes{0x39, 0x31, 0x00, 0x00} + Opening(2), false},
        {"server full", SERVER_FULL, true},
        {"closed at once", {}, true},
        {"half a handshake, then closed", {0x39, 0x30}, true},
    };
    for (const Refusal& row : refusals) {
        SCOPED_TRACE(row.name);
        char error[NET_ERROR_TEXT_SIZE] = {};
        SOCKET hostSide = INVALID_SOCKET;
        EXPECT_FALSE(Connect(
            [&](SOCKET s) {
                SendRaw(s, row.bytes);
                if (row.hostCloses)
                    shutdown(s, SD_SEND);
            },
            error, &hostSide));
        EXPECT_STREQ(error, "");
        EXPECT_EQ(GetClientSocket(), 0u);
        EXPECT_TRUE(ConnectionEnds(hostSide, 3000)) << "the client keeps the connection open";
    }
}

TEST_F(ClientTest, AHostThatNeverSendsTheHandshakeIsGivenUpInBoundedTime)
{
    char error[NET_ERROR_TEXT_SIZE] = {};
    SOCKET hostSide = INVALID_SOCKET;
    DWORD start = GetTickCount();
    EXPECT_FALSE(Connect([](SOCKET) {}, error, &hostSide));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 3000u);
    EXPECT_LE(elapsed, 10000u);
    EXPECT_TRUE(ConnectionEnds(hostSide, 3000));
}

TEST_F(ClientTest, AHostThatNeverAnswersTheConnectIsGivenUpInBoundedTime)
{
    // A listener whose accept queue is full ignores further connection requests.
    SOCKET full = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    int size = sizeof address;
    ASSERT_EQ(bind(full, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(full, 0), 0);
    getsockname(full, reinterpret_cast<sockaddr*>(&address), &size);
    SOCKET queued = ConnectToPort(ntohs(address.sin_port));
    ASSERT_NE(queued, INVALID_SOCKET);

    char error[NET_ERROR_TEXT_SIZE] = {};
    DWORD start = GetTickCount();
    EXPECT_FALSE(InitializeClient("127.0.0.1", ntohs(address.sin_port), error));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_STREQ(error, "Error in InitializeClient(): connect()");
    EXPECT_GE(elapsed, 3000u);
    EXPECT_LE(elapsed, 10000u);
    closesocket(queued);
    closesocket(full);
}

TEST_F(ClientTest, ConnectAndLookUpFailuresAreReported)
{
    char error[NET_ERROR_TEXT_SIZE] = {};
    EXPECT_FALSE(InitializeClient("127.0.0.1", FreePort(), error));
    EXPECT_STREQ(error, "Error in InitializeClient(): connect()");
    EXPECT_FALSE(InitializeClient("no-such-host.invalid", port_, error));
    EXPECT_STREQ(error, "Error in InitializeClient(): gethostbyname()");
    EXPECT_EQ(GetClientSocket(), 0u);
}

TEST_F(ClientTest, MessagesReachTheInboxInOrderAndLinesGoOutByteForByte)
{
    TestLobbyPage page;
    SetClientLobbyWnd(page.Window());
    int playerId = -1;
    SetPlayerIdTarget(&playerId);

    char error[NET_ERROR_TEXT_SIZE] = {};
    SOCKET host = INVALID_SOCKET;
    // The opening arrives one byte at a time: every field must still be read whole.
    ASSERT_TRUE(Connect(
        [](SOCKET s) {
            BOOL noDelay = TRUE;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                       sizeof noDelay);
            for (unsigned char byte : Opening(2)) {
                SendRaw(s, Bytes{byte});
                Sleep(2);
            }
        },
        error, &host))
        << error;
    SendRaw(host, ChatFrame(1, "ab->yo") + Joined(3) + START_SIGNAL);

    ASSERT_TRUE(page.WaitForMessages(4, 5000));
    EXPECT_EQ(playerId, 2);
    std::vector<PageMessage> seen = page.Messages();
    EXPECT_EQ(seen[0].type, MSG_PLAYER_ID);
    EXPECT_EQ(seen[0].payload, (Bytes{0x02, 0x00, 0x00, 0x00}));
    EXPECT_EQ(seen[1].type, 2001);
    EXPECT_EQ(seen[1].payload, (Text("ab->yo") + Bytes{0x0D, 0x0A, 0x00}));
    EXPECT_EQ(seen[2].type, MSG_PLAYER_JOINED);
    EXPECT_EQ(seen[2].payload, (Bytes{0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(seen[3].type, MSG_START_GAME);
    EXPECT_TRUE(seen[3].payload.empty());
    EXPECT_GE(page.Wakes(), 1);
    EXPECT_TRUE(page.DrainedOnPageThread());

    BOOL keepAlive = FALSE;
    int size = sizeof keepAlive;
    getsockopt(GetClientSocket(), SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<char*>(&keepAlive),
               &size);
    EXPECT_TRUE(keepAlive);

    PushMessage(LobbyOutbox, ChatMessage(2002, "cd->hi"));
    const Bytes hi = Bytes{0xD2, 0x07, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00} + Text("cd->hi") +
                     Bytes{0x0D, 0x0A, 0x00};
    EXPECT_TRUE(NextFrameIs(host, hi));

    // The host goes away: the connection is gone and the inbox says so.
    shutdown(host, SD_SEND);
    EXPECT_TRUE(WaitFor(ClientConnectionGone, 3000));
    ASSERT_TRUE(WaitForCount(LobbyInbox, 1, 3000));
    std::vector<PageMessage> left = TakeInbox();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].type, MSG_PLAYER_LEFT);
    EXPECT_EQ(left[0].payload, (Bytes{0x00, 0x00, 0x00, 0x00}));
}

TEST_F(ClientTest, BadInputFromTheHostEndsTheConnectionOrIsSkipped)
{
    struct Row {
        const char* name;
        Bytes bytes;
        bool hostCloses;
        bool connectionEnds;
        std::vector<PageMessage> delivered;  // what reaches the inbox before the next line
    };
    const Row rows[] = {
        {"negative length", {0xD1, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, false, true, {}},
        {"length 2^31-1", {0xD1, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F}, false, true, {}},
        {"length 64 KiB + 1", {0xD1, 0x07, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00}, false, true, {}},
        {"garbage", Text("HTTP/1.0 200 OK\r\n\r\n"), false, true, {}},
        {"header cut in the middle", {0xD1, 0x07, 0x00}, true, true, {}},
        {"payload cut short", {0xD1, 0x07, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x61}, true, true, {}},
        {"player number without one", {0xEC, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, false, false, {}},
        {"join notice of 2 bytes", {0xB8, 0x0B, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00}, false, false, {}},
        {"empty chat", {0xD1, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, false, false, {}},
        {"unknown type", {0x10, 0x27, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x02}, false, false,
         {{10000, {0x01, 0x02}}}},
        {"chat without NUL", {0xD1, 0x07, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63}, false, false,
         {{2001, {0x61, 0x62, 0x00}}}},
    };
    int playerId = -1;
    SetPlayerIdTarget(&playerId);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SOCKET host = ConnectAsPlayer2();
        ASSERT_TRUE(WaitForCount(LobbyInbox, 1, 3000));
        TakeInbox();
        SendRaw(host, row.bytes);
        if (row.connectionEnds) {
            if (row.hostCloses)
                shutdown(host, SD_SEND);
            else
                EXPECT_TRUE(ConnectionEnds(host, 3000)) << "the client kept the connection";
            EXPECT_TRUE(WaitFor(ClientConnectionGone, 3000));
            ASSERT_TRUE(WaitForCount(LobbyInbox, 1, 3000));
            std::vector<PageMessage> inbox = TakeInbox();
            ASSERT_EQ(inbox.size(), 1u);
            EXPECT_EQ(inbox[0].type, MSG_PLAYER_LEFT);
            continue;
        }
        const Bytes marker = ChatFrame(1, "a->next");
        SendRaw(host, marker);
        ASSERT_TRUE(WaitForCount(LobbyInbox, static_cast<int>(row.delivered.size()) + 1, 3000));
        std::vector<PageMessage> inbox = TakeInbox();
        ASSERT_EQ(inbox.size(), row.delivered.size() + 1);
        for (size_t i = 0; i < row.delivered.size(); ++i) {
            EXPECT_EQ(inbox[i].type, row.delivered[i].type);
            EXPECT_EQ(Hex(inbox[i].payload), Hex(row.delivered[i].payload));
        }
        EXPECT_EQ(inbox.back().type, 2001);
        EXPECT_EQ(playerId, 2);
        EXPECT_NE(GetClientSocket(), 0u);
    }
}

TEST_F(ClientTest, ConnectingAgainEndsTheFirstConnectionWithoutALeaveNotice)
{
    SOCKET first = ConnectAsPlayer2();
    ASSERT_TRUE(WaitForCount(LobbyInbox, 1, 3000));

    int otherPort = 0;
    SOCKET otherListener = ListenOnLoopback(&otherPort);
    std::swap(listener_, otherListener);
    std::swap(port_, otherPort);
    char error[NET_ERROR_TEXT_SIZE] = {};
    SOCKET second = INVALID_SOCKET;
    ASSERT_TRUE(Connect([](SOCKET s) { SendRaw(s, Opening(3)); }, error, &second)) << error;
    closesocket(otherListener);

    EXPECT_TRUE(ConnectionEnds(first, 3000));
    SendRaw(second, ChatFrame(1, "b->hello"));
    ASSERT_TRUE(WaitForCount(LobbyInbox, 2, 3000));
    std::vector<PageMessage> inbox = TakeInbox();
    ASSERT_EQ(inbox.size(), 2u);
    EXPECT_EQ(inbox[0].type, MSG_PLAYER_ID);
    EXPECT_EQ(inbox[0].payload, (Bytes{0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(inbox[1].type, 2001);

    PushMessage(LobbyOutbox, ChatMessage(2003, "c->only here"));
    EXPECT_TRUE(NextFrameIs(second, ChatFrame(3, "c->only here")));
}

TEST_F(ClientTest, ClosingTheConnectionFromThePageEndsIt)
{
    SOCKET host = ConnectAsPlayer2();
    CloseClientConnection();
    EXPECT_EQ(GetClientSocket(), 0u);
    EXPECT_TRUE(ConnectionEnds(host, 3000));
}

TEST_F(ClientTest, ShutdownSendsWhatThePlayerStillHadQueued)
{
    SOCKET host = ConnectAsPlayer2();
    for (int i = 0; i < 3; ++i)
        PushMessage(LobbyOutbox, ChatMessage(2002, "cd->last " + std::to_string(i)));
    DWORD start = GetTickCount();
    EXPECT_TRUE(ShutdownNetworking());
    EXPECT_LT(GetTickCount() - start, 3000u);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(NextFrameIs(host, ChatFrame(2, "cd->last " + std::to_string(i))));
    EXPECT_TRUE(ConnectionEnds(host, 3000));
}

}  // namespace
