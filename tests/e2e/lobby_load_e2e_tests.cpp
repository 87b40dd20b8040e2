// The lobby under load, with the real Hollagrin.exe and peers that write the wire bytes
// themselves: a host flooded by one of its clients, a host with a client that stopped
// reading, and a client whose host relays a flood. The pages must keep answering another
// process, and the players who behave must get their lines, all of them and on time.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "flood_limit.h"
#include "lobby_bytes.h"
#include "lobby_load.h"
#include "wizard_ports.h"

namespace {

// Generous for a shared machine: a page that stops answering does so for many seconds.
const DWORD ANSWER_BOUND_MS = 2000;
const size_t FLOOD_BYTES = 5 * 1024 * 1024;

using Received = FrameReader::Received;

SOCKET Join(int port, int player, int receiveBuffer = 0)
{
    SOCKET s = JoinAsRawClient(port, player, receiveBuffer);
    EXPECT_NE(INVALID_SOCKET, s) << "player " << player << " got no opening";
    return s;
}

int CountOfType(const std::vector<Received>& received, int type)
{
    int count = 0;
    for (const Received& r : received)
        count += r.frame.type == type;
    return count;
}

// The lines of one sender, in the order they came.
std::vector<std::string> LinesOf(const std::vector<Received>& received, int type)
{
    std::vector<std::string> lines;
    for (const Received& r : received)
        if (r.frame.type == type)
            lines.push_back(std::string(r.frame.payload.begin(), r.frame.payload.end() - 3));
    return lines;
}

int Occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace

TEST(LobbyUnderLoad, AFloodedHostAnswersPassesTheOthersLinesAndNamesTheFlooder)
{
    StartWinsock();
    int port = FreeWizardPort();
    WizardPlayer host(HOLLAGRIN_EXE, "Hal");
    ASSERT_EQ(0u, HostOn(host, port));
    SOCKET ann = Join(port, 1);
    SOCKET bob = Join(port, 2);
    SOCKET fld = Join(port, 3);
    ASSERT_EQ(0u, host.Drive({"until", PLAYER_COUNT, "Number of Players Connected: 3"}));
    FrameReader annReader(ann);
    FrameReader bobReader(bob);
    FrameReader fldReader(fld);

    Bytes flood = FloodBytes(3, "Fld", FLOOD_BYTES, "Fld->the end");
    AnswerWatch watch(host, 6000);
    double start = NowMs();
    std::thread flooder([&] { SendRaw(fld, flood); });
    const int lines = 8;
    for (int n = 0; n < lines; ++n) {
        SendRaw(ann, ChatFrame(1, "Ann->line " + std::to_string(n)));
        SendRaw(bob, ChatFrame(2, "Bob->line " + std::to_string(n)));
        Sleep(300);
    }
    flooder.join();
    double floodMs = NowMs() - start;
    EXPECT_LE(watch.LongestMs(), ANSWER_BOUND_MS) << "the host's page did not answer";
    Sleep(500);

    std::vector<Received> atAnn = annReader.Stop();
    std::vector<Received> atBob = bobReader.Stop();
    fldReader.Stop();
    std::vector<std::string> expectedAnn;
    std::vector<std::string> expectedBob;
    for (int n = 0; n < lines; ++n) {
        expectedAnn.push_back("Ann->line " + std::to_string(n));
        expectedBob.push_back("Bob->line " + std::to_string(n));
    }
    EXPECT_EQ(expectedBob, LinesOf(atAnn, 2002)) << "Bob's lines at Ann";
    EXPECT_EQ(expectedAnn, LinesOf(atBob, 2001)) << "Ann's lines at Bob";
    int relayed = CountOfType(atAnn, 2003);
    double limitMs = NowMs() - start;
    EXPECT_GE(relayed, FLOOD_LINE_BURST);
    EXPECT_LE(relayed, FLOOD_LINE_BURST + static_cast<int>(limitMs) * FLOOD_LINES_PER_SECOND / 1000 + 1)
        << "of " << flood.size() << " bytes sent in " << floodMs << " ms";

    std::string transcript;
    ASSERT_EQ(0u, host.Drive({"print", TRANSCRIPT}, &transcript));
    int notices = Occurrences(transcript, "Too many lines from Fld (player 3)");
    EXPECT_GE(notices, 1) << transcript.substr(0, 2000);
    EXPECT_LE(notices, static_cast<int>(limitMs / FLOOD_NOTICE_INTERVAL_MS) + 1);
    EXPECT_NE(std::string::npos, transcript.find("   Ann->line 7\r\n"));
    EXPECT_NE(std::string::npos, transcript.find("   Bob->line 7\r\n"));
    for (SOCKET s : {ann, bob, fld})
        closesocket(s);
}

TEST(LobbyUnderLoad, AClientThatStopsReadingHoldsUpNobody)
{
    StartWinsock();
    int port = FreeWizardPort();
    WizardPlayer host(HOLLAGRIN_EXE, "Hal");
    ASSERT_EQ(0u, HostOn(host, port));
    SOCKET stalled = Join(port, 1, 4096);
    SOCKET ann = Join(port, 2);
    SOCKET bob = Join(port, 3);
    ASSERT_EQ(0u, host.Drive({"until", PLAYER_COUNT, "Number of Players Connected: 3"}));
    FrameReader annReader(ann);
    FrameReader bobReader(bob);

    // Two long lines, within what a client may send at once, fill everything between the
    // host and the client that reads nothing.
    std::string filler(60000, 'x');
    SendRaw(ann, ChatFrame(2, "Ann->" + filler));
    SendRaw(bob, ChatFrame(3, "Bob->" + filler));
    std::vector<double> sentAt;
    const int lines = 16;
    for (int n = 0; n < lines; ++n) {
        Sleep(400);
        sentAt.push_back(NowMs());
        SendRaw(n % 2 ? bob : ann, ChatFrame(n % 2 ? 3 : 2, std::string(n % 2 ? "Bob" : "Ann") + "->on time " +
                                                                 std::to_string(n)));
    }
    Sleep(1000);
    std::vector<Received> atAnn = annReader.Stop();
    std::vector<Received> atBob = bobReader.Stop();

    // Each line's way from its sender to the other player.
    double longest = 0;
    for (int n = 0; n < lines; ++n) {
        const std::vector<Received>& at = n % 2 ? atAnn : atBob;
        std::string line = std::string(n % 2 ? "Bob" : "Ann") + "->on time " + std::to_string(n);
        bool seen = false;
        for (const Received& r : at) {
            if (r.frame.raw == ChatFrame(n % 2 ? 3 : 2, line)) {
                seen = true;
                longest = r.atMs - sentAt[n] > longest ? r.atMs - sentAt[n] : longest;
            }
        }
        EXPECT_TRUE(seen) << line;
    }
    std::printf("longest way of a line while a client stalled: %.0f ms\n", longest);
    EXPECT_LT(longest, 1000.0) << "a line waited for the client that reads nothing";
    for (const std::vector<Received>* at : {&atAnn, &atBob}) {
        bool stalledLeft = false;
        for (const Received& r : *at)
            stalledLeft = stalledLeft || r.frame.raw == Left(1);
        EXPECT_TRUE(stalledLeft) << "the client that reads nothing was never dropped";
    }
    for (SOCKET s : {stalled, ann, bob})
        closesocket(s);
}

TEST(LobbyUnderLoad, AClientAnswersWhileItsHostRelaysAFlood)
{
    StartWinsock();
    WizardPlayer ann(HOLLAGRIN_EXE, "Ann");
    SOCKET hostSide = JoinRawHost(ann);
    ASSERT_NE(INVALID_SOCKET, hostSide);
    FrameReader fromAnn(hostSide);

    Bytes flood = FloodBytes(1, "Bob", FLOOD_BYTES, "Bob->the end");
    AnswerWatch watch(ann, 5000);
    std::thread host([&] { SendRaw(hostSide, flood); });
    // Typing and Enter still send while the flood comes in.
    EXPECT_EQ(0u, ann.Drive({"type", CHAT_INPUT, "still here", "enter", CHAT_INPUT}));
    host.join();
    EXPECT_LE(watch.LongestMs(), ANSWER_BOUND_MS) << "the client's page did not answer";
    EXPECT_EQ(0u, ann.Drive({"until", TRANSCRIPT, "   Bob->the end\r\n"}));
    std::vector<Received> sent = fromAnn.Stop();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(Hex(ChatFrame(2, "Ann->still here")), Hex(sent[0].frame.raw));
    closesocket(hostSide);
}
