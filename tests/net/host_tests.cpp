// Our host against raw clients on 127.0.0.1 that speak the protocol byte by byte.
#include "flood_limit.h"
#include "lobby_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

namespace {

class HostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartWinsock();
        SetHandshakeWord(12345);
        port_ = FreePort();
        char error[NET_ERROR_TEXT_SIZE] = {};
        ASSERT_TRUE(InitializeServer(port_, 4, error)) << error;
    }

    void TearDown() override
    {
        for (SOCKET s : peers_)
            closesocket(s);
        SetServerLobbyActive(0);
        SetServerLobbyWnd(nullptr);
        ShutdownNetworking();
    }

    SOCKET Connect(int receiveBuffer = 0)
    {
        SOCKET s = ConnectToPort(port_, receiveBuffer);
        if (s != INVALID_SOCKET)
            peers_.push_back(s);
        return s;
    }

    void Leave(SOCKET s)
    {
        closesocket(s);
        peers_.erase(std::find(peers_.begin(), peers_.end(), s));
    }

    // A raw client that gets the expected slot; it and every client already there are told.
    SOCKET Join(int slot, const std::vector<SOCKET>& others)
    {
        SOCKET s = Connect();
        EXPECT_NE(s, INVALID_SOCKET);
        EXPECT_EQ(Hex(ReadBytes(s, 16, 5000)), Hex(Opening(slot))) << "opening of slot " << slot;
        for (SOCKET other : others)
            EXPECT_TRUE(NextFrameIs(other, Joined(slot))) << "an earlier client, slot " << slot;
        EXPECT_TRUE(NextFrameIs(s, Joined(slot))) << "the new client, slot " << slot;
        return s;
    }

    int port_ = 0;
    std::vector<SOCKET> peers_;
};

std::vector<int> Types(const std::vector<PageMessage>& messages)
{
    std::vector<int> types;
    for (const PageMessage& message : messages)
        types.push_back(message.type);
    return types;
}

TEST_F(HostTest, SlotsGoLowestFirstAndEveryoneHearsOfJoinsAndLeaves)
{
    SOCKET a = Join(1, {});
    SOCKET b = Join(2, {a});
    SOCKET c = Join(3, {a, b});
    EXPECT_EQ(CountConnectedClients(), 3);

    SOCKET fourth = Connect();
    EXPECT_EQ(Hex(ReadBytes(fourth, 9, 5000)), Hex(SERVER_FULL)) << "refused client";
    EXPECT_TRUE(ConnectionEnds(fourth, 5000)) << "refused client";

    Leave(b);
    EXPECT_TRUE(NextFrameIs(a, Left(2)));
    EXPECT_TRUE(NextFrameIs(c, Left(2)));
    EXPECT_EQ(CountConnectedClients(), 2);

    SOCKET again = Join(2, {a, c});
    EXPECT_NE(again, INVALID_SOCKET);
    EXPECT_EQ(CountConnectedClients(), 3);

    ASSERT_TRUE(WaitForCount(LobbyInbox, 5, 2000));
    std::vector<PageMessage> inbox = TakeInbox();
    ASSERT_EQ(Types(inbox), (std::vector<int>{MSG_PLAYER_JOINED, MSG_PLAYER_JOINED,
                                              MSG_PLAYER_JOINED, MSG_PLAYER_LEFT,
                                              MSG_PLAYER_JOINED}));
    const int players[] = {1, 2, 3, 2, 2};
    for (size_t i = 0; i < inbox.size(); ++i)
        EXPECT_EQ(inbox[i].payload, (Bytes{static_cast<unsigned char>(players[i]), 0, 0, 0}))
            << "notice " << i;
}

TEST_F(HostTest, ChatLinesAndTheStartSignalReachEveryClientByteForByte)
{
    SOCKET a = Join(1, {});
    SOCKET b = Join(2, {a});
    SOCKET c = Join(3, {a, b});
    TakeInbox();

    // "hi" typed by player 2, whose name has three letters.
    const Bytes hi = Bytes{0xD2, 0x07, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00} + Text("abc->hi") +
                     Bytes{0x0D, 0x0A, 0x00};
    ASSERT_EQ(hi.size(), 18u);
    ASSERT_TRUE(SendRaw(b, hi));
    for (SOCKET s : {a, b, c})
        EXPECT_TRUE(NextFrameIs(s, hi));

    PushMessage(LobbyOutbox, ChatMessage(MSG_CHAT, "host->yo"));
    PushMessage(LobbyOutbox, StartMessage());
    const Bytes yo = Bytes{0xD0, 0x07, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00} + Text("host->yo") +
                     Bytes{0x0D, 0x0A, 0x00};
    for (SOCKET s : {a, b, c}) {
        EXPECT_TRUE(NextFrameIs(s, yo));
        EXPECT_TRUE(NextFrameIs(s, START_SIGNAL));
    }

    ASSERT_TRUE(WaitForCount(LobbyInbox, 3, 2000));
    std::vector<PageMessage> inbox = TakeInbox();
    ASSERT_EQ(Types(inbox), (std::vector<int>{2002, MSG_CHAT, MSG_START_GAME}));
    EXPECT_EQ(inbox[0].payload, (Text("abc->hi") + Bytes{0x0D, 0x0A, 0x00}));
    EXPECT_TRUE(inbox[2].payload.empty());
}

TEST_F(HostTest, ARelayPassSendsTheClientsLinesBeforeTheHostsOwn)
{
    SOCKET a = Join(1, {});
    SOCKET b = Join(2, {a});
    TakeInbox();

    // The host's line is queued first; the client's arrives before the next pass. If a pass
    // falls between the two, the attempt proves nothing and is made again.
    bool samePass = false;
    for (int attempt = 0; attempt < 5 && !samePass; ++attempt) {
        std::string host = "host->line " + std::to_string(attempt);
        std::string client = "a->line " + std::to_string(attempt);
        PushMessage(LobbyOutbox, ChatMessage(MSG_CHAT, host));
        ASSERT_TRUE(SendRaw(a, ChatFrame(1, client)));
        bool clientLineWaiting = false;
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 2000) {
            if (CountMessages(HostIncoming) > 0) {
                clientLineWaiting = true;
                break;
            }
            if (CountMessages(LobbyOutbox) == 0)
                break;
            Sleep(1);
        }
        samePass = clientLineWaiting && CountMessages(LobbyOutbox) == 1;
        for (SOCKET s : {a, b}) {
            Frame first = {};
            Frame second = {};
            ASSERT_TRUE(ReadFrame(s, &first, 5000));
            ASSERT_TRUE(ReadFrame(s, &second, 5000));
            if (samePass) {
                EXPECT_EQ(Hex(first.raw), Hex(ChatFrame(1, client)));
                EXPECT_EQ(Hex(second.raw), Hex(ChatFrame(0, host)));
            }
        }
        ASSERT_TRUE(WaitForCount(LobbyInbox, 2, 2000));
        std::vector<PageMessage> inbox = TakeInbox();
        if (samePass) {
            EXPECT_EQ(Types(inbox), (std::vector<int>{2001, MSG_CHAT}));
        }
    }
    EXPECT_TRUE(samePass) << "no attempt put both lines into one relay pass";
}

TEST_F(HostTest, WakeUpsArePostedSoStartGameCanWaitWithoutHandlingMessages)
{
    TestLobbyPage page;
    SetServerLobbyWnd(page.Window());
    SetServerLobbyActive(1);
    SOCKET a = Join(1, {});
    ASSERT_TRUE(page.WaitForMessages(1, 3000));

    // A burst while the page is busy (as long as the flood limits let a client send at
    // once): one wake-up drains all of it afterwards.
    const int burst = FLOOD_LINE_BURST;
    int wakesBefore = page.Wakes();
    bool burstQueued = false;
    page.RunOnPageThread([&] {
        for (int i = 0; i < burst; ++i)
            SendRaw(a, ChatFrame(1, "a->" + std::to_string(i)));
        burstQueued = WaitForCount(LobbyInbox, burst, 5000);
    });
    EXPECT_TRUE(burstQueued) << "the relay stalled while the page was busy";
    ASSERT_TRUE(page.WaitForMessages(1 + burst, 3000));
    EXPECT_LE(page.Wakes() - wakesBefore, 2);

    // What "Start Game" does: queue the signal, then sleep until it has left the queues,
    // handling no window message meanwhile.
    bool left = false;
    page.RunOnPageThread([&] {
        PushMessage(LobbyOutbox, ChatMessage(MSG_CHAT, "host->bye"));
        PushMessage(LobbyOutbox, StartMessage());
        DWORD start = GetTickCount();
        while ((!IsQueueEmpty(HostBroadcast) || !IsQueueEmpty(LobbyOutbox)) &&
               GetTickCount() - start < 5000)
            Sleep(100);
        left = IsQueueEmpty(HostBroadcast) && IsQueueEmpty(LobbyOutbox);
    });
    EXPECT_TRUE(left) << "the start signal never left the queues";
    ASSERT_TRUE(page.WaitForMessages(3 + burst, 3000));

    std::vector<PageMessage> seen = page.Messages();
    EXPECT_EQ(seen[0].type, MSG_PLAYER_JOINED);
    for (int i = 0; i < burst; ++i)
        EXPECT_EQ(seen[1 + i].payload, (Text("a->" + std::to_string(i)) + Bytes{0x0D, 0x0A, 0x00}))
            << "line " << i;
    EXPECT_EQ(seen[1 + burst].type, MSG_CHAT);
    EXPECT_EQ(seen[2 + burst].type, MSG_START_GAME);
    EXPECT_TRUE(page.DrainedOnPageThread());
    SetServerLobbyActive(0);
    SetServerLobbyWnd(nullptr);
}

TEST_F(HostTest, AFloodIsCutToTheLimitsAndNamedOnTheHostsPageOnly)
{
    SOCKET flooder = Join(1, {});
    SOCKET other = Join(2, {flooder});
    TakeInbox();

    const int lines = 2000;
    Bytes flood;
    for (int i = 0; i < lines; ++i) {
        Bytes line = ChatFrame(1, "Fld->" + std::to_string(i));
        flood.insert(flood.end(), line.begin(), line.end());
    }
    DWORD start = GetTickCount();
    ASSERT_TRUE(SendRaw(flooder, flood));
    ASSERT_TRUE(SendRaw(other, ChatFrame(2, "Oth->still here")));

    // What reaches the other client within two seconds of the flood.
    int relayed = 0;
    bool otherLineSeen = false;
    Frame frame = {};
    while (GetTickCount() - start < 2000 && ReadFrame(other, &frame, 500)) {
        EXPECT_NE(frame.type, MSG_FLOOD_DROPPED) << "the notice went on the wire";
        if (frame.type == 2001) {
            EXPECT_EQ(Hex(frame.raw), Hex(ChatFrame(1, "Fld->" + std::to_string(relayed++))));
        }
        otherLineSeen = otherLineSeen || frame.raw == ChatFrame(2, "Oth->still here");
    }
    DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(otherLineSeen);
    EXPECT_GE(relayed, FLOOD_LINE_BURST);
    EXPECT_LE(relayed, FLOOD_LINE_BURST + static_cast<int>(elapsed) * FLOOD_LINES_PER_SECOND / 1000 + 1);

    std::vector<PageMessage> inbox = TakeInbox();
    int notices = 0;
    for (const PageMessage& message : inbox) {
        if (message.type != MSG_FLOOD_DROPPED)
            continue;
        ++notices;
        EXPECT_EQ(Hex(message.payload), Hex(Bytes{1, 0, 0, 0} + Text("Fld") + Bytes{0}));
    }
    EXPECT_EQ(notices, 1) << "one notice for the first " << elapsed << " ms of a flood";

    // Once its allowance has grown back, the flooder's next line passes whole: its stream
    // was read to the end of every dropped line.
    Sleep(1000);
    ASSERT_TRUE(SendRaw(flooder, ChatFrame(1, "Fld->calm again")));
    bool calmSeen = false;
    while (!calmSeen && ReadFrame(other, &frame, 3000))
        calmSeen = frame.raw == ChatFrame(1, "Fld->calm again");
    EXPECT_TRUE(calmSeen);
    TakeInbox();
}

TEST_F(HostTest, StartingAgainOnTheSamePortKeepsTheServerAndAnotherPortReplacesIt)
{
    SOCKET a = Join(1, {});
    char error[NET_ERROR_TEXT_SIZE] = {};
    ASSERT_TRUE(InitializeServer(port_, 4, error)) << error;
    SOCKET b = Join(2, {a});  // slot 2: the same server, with player 1 still there
    EXPECT_EQ(CountConnectedClients(), 2);

    int oldPort = port_;
    port_ = FreePort();
    ASSERT_TRUE(InitializeServer(port_, 4, error)) << error;
    EXPECT_TRUE(ConnectionEnds(a, 5000));
    EXPECT_TRUE(ConnectionEnds(b, 5000));
    EXPECT_EQ(ConnectToPort(oldPort), INVALID_SOCKET);
    SOCKET c = Join(1, {});
    EXPECT_NE(c, INVALID_SOCKET);
    EXPECT_EQ(CountConnectedClients(), 1);
}

TEST_F(HostTest, APortThatIsTakenIsReported)
{
    int taken = FreePort();
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    any.sin_port = htons(static_cast<u_short>(taken));
    SOCKET wide = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(bind(wide, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(listen(wide, 5), 0);

    char error[NET_ERROR_TEXT_SIZE] = {};
    EXPECT_FALSE(InitializeServer(taken, 4, error));
    EXPECT_STREQ(error, "Error in InitializeServer: bind()");
    closesocket(wide);
}

TEST_F(HostTest, AClientThatStopsReadingIsDroppedAndTheOthersKeepReceiving)
{
    // Filler at two speeds: fast enough to overflow the stalled client's send queue, and
    // slow enough that only its silence can give it away.
    struct Pace {
        const char* name;
        size_t lineSize;
        DWORD intervalMs;
    };
    const Pace paces[] = {{"overflowing its queue", 60000, 50}, {"taking nothing for 3 s", 20000, 500}};
    for (const Pace& pace : paces) {
        SCOPED_TRACE(pace.name);
        SOCKET stalled = Connect(4096);
        ASSERT_EQ(Hex(ReadBytes(stalled, 16, 5000)), Hex(Opening(1)));
        ASSERT_TRUE(WaitForCount(LobbyInbox, 1, 3000));  // its join notice has gone out
        SOCKET talker = Join(2, {});
        TakeInbox();

        // The host's own lines: a client's would be held back by the flood limits.
        std::atomic<bool> stop(false);
        std::atomic<int> sent(0);
        std::thread writer([&] {
            std::string filler(pace.lineSize, 'x');
            while (!stop && sent < 400) {
                PushMessage(LobbyOutbox, ChatMessage(MSG_CHAT, std::to_string(sent.load()) + " " + filler));
                ++sent;
                Sleep(pace.intervalMs);
            }
        });
        int received = 0;
        bool inOrder = true;
        auto readLine = [&](bool* stalledLeft) {
            Frame frame = {};
            if (!ReadFrame(talker, &frame, 5000))
                return false;
            if (frame.raw == Left(1)) {
                *stalledLeft = true;
            } else if (frame.type == MSG_CHAT) {
                std::string number = std::to_string(received) + " ";
                std::string text(frame.payload.begin(), frame.payload.end());
                inOrder = inOrder && text.compare(0, number.size(), number) == 0;
                ++received;
            }
            return true;
        };
        bool stalledLeft = false;
        DWORD start = GetTickCount();
        while (!stalledLeft && GetTickCount() - start < 30000 && readLine(&stalledLeft)) {
        }
        stop = true;
        writer.join();
        while (received < sent && readLine(&stalledLeft)) {
        }
        EXPECT_TRUE(stalledLeft) << "the stalled client was never dropped";
        EXPECT_EQ(received, sent.load()) << "lines lost for the client that kept reading";
        EXPECT_TRUE(inOrder);
        EXPECT_EQ(CountConnectedClients(), 1);
        Leave(stalled);
        Leave(talker);
        ASSERT_TRUE(WaitFor([] { return CountConnectedClients() == 0; }, 5000));
        Sleep(500);  // their leave notices go through a relay pass
        TakeInbox();
    }
}

}  // namespace
