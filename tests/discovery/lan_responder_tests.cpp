// The host's responder on the real discovery port of the test build, asked by plain UDP
// peers that write and read the bytes themselves: what it answers, what it ignores, how
// often it answers, when it stops, and that a flood of queries leaves the lobby as fast
// as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "answer_limit.h"
#include "lan_discovery.h"
#include "lan_peer.h"
#include "lobby_bytes.h"
#include "test_support.h"
#include "wizard_ports.h"

namespace {

const char* const LOOPBACK_BROADCAST = "127.255.255.255";
const DWORD ANSWER_MS = 2000;
const DWORD SILENCE_MS = 300;

volatile LONG g_nPlayersNow = 1;

int PlayersNow()
{
    return InterlockedCompareExchange(&g_nPlayersNow, 0, 0);
}

class LanResponderTest : public ::testing::Test {
protected:
    void SetUp() override { g_nPlayersNow = 1; }
    void TearDown() override { StopLanResponder(); }

    bool Start(const char* name, int port = 2000)
    {
        return StartLanResponder(name, port, 4, PlayersNow);
    }
};

} // namespace

TEST_F(LanResponderTest, EveryGameOnTheMachineHearsAQueryAndTheHostAnswersWithItsGameAsItIsNow)
{
    ASSERT_TRUE(Start("Cool Quarv Server"));
    UdpPeer otherGame("0.0.0.0", g_nLanDiscoveryPort, true);
    ASSERT_TRUE(otherGame.IsOpen()) << "the discovery port is shared by every game of a machine";
    UdpPeer player;

    struct CountCase {
        LONG players;
        uint32_t searchId;
    };
    for (const CountCase& c : {CountCase{1, 0xA1B2C3D4}, CountCase{3, 0x00000001}}) {
        g_nPlayersNow = c.players;
        ASSERT_TRUE(player.SendTo(LOOPBACK_BROADCAST, g_nLanDiscoveryPort, QueryBytes(c.searchId)));
        Datagram answer;
        sockaddr_in from = {};
        ASSERT_TRUE(player.Receive(&answer, &from, ANSWER_MS)) << c.players;
        EXPECT_EQ(HexOf(AnswerBytes(c.searchId, 2000, c.players, 4, "Cool Quarv Server")), HexOf(answer));
        EXPECT_LE(answer.size(), 128u) << "never larger than the query";
        EXPECT_EQ(g_nLanDiscoveryPort, ntohs(from.sin_port));
        EXPECT_FALSE(player.Receive(&answer, nullptr, SILENCE_MS)) << "one answer to one query";

        Datagram heard;
        ASSERT_TRUE(otherGame.Receive(&heard, nullptr, ANSWER_MS)) << c.players;
        EXPECT_EQ(HexOf(QueryBytes(c.searchId)), HexOf(heard));
    }
}

TEST_F(LanResponderTest, EveryBadQueryIsIgnoredAndTheNextGoodOneIsAnswered)
{
    ASSERT_TRUE(Start("Patient"));
    UdpPeer player;
    for (const NamedDatagram& bad : BadQueries())
        ASSERT_TRUE(player.SendTo(LOOPBACK_BROADCAST, g_nLanDiscoveryPort, bad.bytes)) << bad.name;
    ASSERT_TRUE(player.SendTo(LOOPBACK_BROADCAST, g_nLanDiscoveryPort, QueryBytes(1000)));
    // Datagrams on loopback keep their order: an answer to a bad one would come first.
    Datagram answer;
    ASSERT_TRUE(player.Receive(&answer, nullptr, ANSWER_MS)) << "the host stalled";
    EXPECT_EQ(HexOf(AnswerBytes(1000, 2000, 1, 4, "Patient")), HexOf(answer));
    EXPECT_FALSE(player.Receive(&answer, nullptr, SILENCE_MS)) << HexOf(answer);
}

// Under Wine every socket on loopback sends from 127.0.0.1, whatever address it is bound
// to, so the limit for many addresses is shown with the plain functions only.
TEST_F(LanResponderTest, AFewAnswersASecondForOneAddress)
{
    ASSERT_TRUE(Start("Limited"));
    UdpPeer eager;
    DWORD start = GetTickCount();
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(eager.SendTo(LOOPBACK_BROADCAST, g_nLanDiscoveryPort, QueryBytes(i)));
    EXPECT_EQ(LAN_ANSWERS_PER_ADDRESS, eager.CountReceived(500)) << "twenty queries within half a second";

    Sleep(1100 - std::min<DWORD>(GetTickCount() - start, 1100));
    ASSERT_TRUE(eager.SendTo(LOOPBACK_BROADCAST, g_nLanDiscoveryPort, QueryBytes(99)));
    EXPECT_EQ(1, eager.CountReceived(300)) << "the next second";
}

TEST_F(LanResponderTest, AStoppedHostAnswersNothingAndARestartedOneAnswersOnce)
{
    UdpPeer player;
    ASSERT_TRUE(Start("First"));
    StopLanResponder();
    player.SendTo(LOOPBACK_BROADCAST, g_nLanDiscoveryPort, QueryBytes(1));
    EXPECT_EQ(0, player.CountReceived(SILENCE_MS));

    ASSERT_TRUE(Start("Second", 2100)) << "the port is free again";
    ASSERT_TRUE(Start("Third", 2200)) << "a running responder makes way for the new one";
    player.SendTo(LOOPBACK_BROADCAST, g_nLanDiscoveryPort, QueryBytes(2));
    Datagram answer;
    ASSERT_TRUE(player.Receive(&answer, nullptr, ANSWER_MS));
    EXPECT_EQ(HexOf(AnswerBytes(2, 2200, 1, 4, "Third")), HexOf(answer));
    EXPECT_FALSE(player.Receive(&answer, nullptr, SILENCE_MS)) << "the older responders are gone";
}

// The host's lobby runs in the same process as its responder, as in the wizard; a client
// sends chat lines and times their way back through the host's relay, before and during a
// flood of queries at the discovery port.
TEST_F(LanResponderTest, AFloodOfQueriesDoesNotSlowTheLobby)
{
    const int LINES = 6;
    const int FLOOD_PER_SECOND = 5000;
    // A port a wizard may host on, outside the range the system hands out to connections
    // of other programs on this machine.
    int port = FreeWizardPort();
    char error[NET_ERROR_TEXT_SIZE] = {};
    ASSERT_TRUE(InitializeServer(port, 4, error)) << error;
    ASSERT_TRUE(Start("Flooded", port));
    SOCKET client = ConnectToPort(port);
    ASSERT_NE(INVALID_SOCKET, client);
    ASSERT_EQ(Hex(Opening(1)), Hex(ReadBytes(client, 16, 5000)));

    // The longest time a line took from the client through the host and back.
    auto slowestLine = [&](const char* phase) {
        DWORD slowest = 0;
        for (int i = 0; i < LINES; ++i) {
            std::string line = std::string(phase) + " line " + std::to_string(i);
            DWORD sent = GetTickCount();
            EXPECT_TRUE(SendRaw(client, ChatFrame(1, line)));
            Frame frame = {};
            bool back = false;
            while (!back && ReadFrame(client, &frame, 5000))
                back = frame.raw == ChatFrame(1, line);
            EXPECT_TRUE(back) << line;
            slowest = std::max(slowest, GetTickCount() - sent);
        }
        return slowest;
    };
    DWORD quiet = slowestLine("quiet");

    std::atomic<bool> flooding(true);
    std::atomic<int> floodSent(0);
    UdpPeer flooder;
    std::thread flood([&] {
        DWORD start = GetTickCount();
        while (flooding) {
            DWORD due = (GetTickCount() - start) * FLOOD_PER_SECOND / 1000;
            while (floodSent < static_cast<int>(due)) {
                flooder.SendTo("127.0.0.1", g_nLanDiscoveryPort, QueryBytes(floodSent));
                ++floodSent;
            }
            Sleep(1);
        }
    });
    ULONGLONG processorBefore = ProcessorTimeMs();
    DWORD floodStart = GetTickCount();
    DWORD flooded = slowestLine("flooded");
    DWORD floodMs = GetTickCount() - floodStart;
    ULONGLONG processorMs = ProcessorTimeMs() - processorBefore;
    flooding = false;
    flood.join();
    int floodAnswers = flooder.CountReceived(200);

    std::printf("lobby line round trip: slowest %lu ms quiet, %lu ms during %d queries in %lu ms; "
                "this process (host and flooder) used %llu ms of processor time meanwhile; %d answers to the flood\n",
                quiet, flooded, floodSent.load(), floodMs, processorMs, floodAnswers);
    EXPECT_GE(floodSent.load(), static_cast<int>(floodMs)) << "fewer than a thousand queries a second";
    // A line waits for at most one relay pass of 200 ms, plus the way.
    EXPECT_LT(flooded, 1000u) << "quiet: " << quiet << " ms";
    EXPECT_LE(floodAnswers, LAN_ANSWERS_PER_ADDRESS * static_cast<int>(floodMs / 1000 + 2));
    closesocket(client);
    ShutdownNetworking();
}
