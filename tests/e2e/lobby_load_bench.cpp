// The lobby's load benchmark (tools/bench-lobby runs it): real Hollagrin.exe wizards, a host
// and a client, driven from outside, against peers that write the wire bytes themselves.
// Prints, for each lobby page, the longest time it took to answer another process while idle
// (the reference), while three clients send 100 lines a second each for 10 s, and during a
// 5 MB flood; then the time a chat line takes from one client to another through the host,
// with no other client (the reference) and while a third client has stopped reading.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "lobby_bytes.h"
#include "lobby_load.h"
#include "wizard_ports.h"

namespace {

const DWORD IDLE_MS = 5000;
const DWORD CHAT_MS = 10000;
const DWORD LINES_PER_SECOND = 100;
const size_t FLOOD_BYTES = 5 * 1024 * 1024;
const DWORD TALK_INTERVAL_MS = 250;  // as fast as the flood limits let a client talk
const DWORD REFERENCE_TALK_MS = 10000;
const int STALL_ROUNDS = 4;

std::string Padding()
{
    return std::string(900, '.');
}

// Every player in turn sends a line, LINES_PER_SECOND a second each, for CHAT_MS; the
// number of lines sent.
int Chat(const std::vector<SOCKET>& senders, const std::vector<int>& players)
{
    double start = NowMs();
    int sent = 0;
    for (int n = 0; NowMs() - start < CHAT_MS; ++n) {
        for (size_t i = 0; i < senders.size(); ++i)
            SendRaw(senders[i], ChatFrame(players[i], "P" + std::to_string(players[i]) + "->line " + std::to_string(n)));
        sent += static_cast<int>(senders.size());
        // Paced by the clock, not by the sleeps, which Wine may stretch.
        double next = start + (n + 1) * 1000.0 / LINES_PER_SECOND;
        double now = NowMs();
        if (next > now)
            Sleep(static_cast<DWORD>(next - now));
    }
    return sent;
}

void HostPage()
{
    int port = FreeWizardPort();
    WizardPlayer host(HOLLAGRIN_EXE, "Hal");
    if (HostOn(host, port) != 0) {
        std::printf("host page: the wizard did not reach its lobby\n");
        return;
    }
    std::vector<SOCKET> clients;
    for (int n = 1; n <= 3; ++n)
        clients.push_back(JoinAsRawClient(port, n));
    host.Drive({"until", PLAYER_COUNT, "Number of Players Connected: 3"});
    FrameReader one(clients[0]);
    FrameReader two(clients[1]);
    FrameReader three(clients[2]);

    double idle = AnswerWatch(host, IDLE_MS).LongestMs();

    AnswerWatch chatWatch(host, CHAT_MS + 1000);
    int sent = Chat(clients, {1, 2, 3});
    double chat = chatWatch.LongestMs();

    AnswerWatch floodWatch(host, 8000);
    double start = NowMs();
    SendRaw(clients[2], FloodBytes(3, "Fld", FLOOD_BYTES, "Fld->the end"));
    double sending = NowMs() - start;
    double flood = floodWatch.LongestMs();
    int relayed = 0;
    for (const FrameReader::Received& r : one.Stop())
        relayed += r.frame.type >= MSG_CHAT + 1 && r.frame.type <= MSG_CHAT + 3 && !r.frame.payload.empty() &&
                   r.frame.payload[0] == 'P';
    two.Stop();
    three.Stop();

    std::printf("host page, longest answer: idle %.0f ms; 3 clients x %lu lines/s for %lu s %.0f ms; "
                "5 MB flood from one client (written in %.1f s) %.0f ms\n",
                idle, LINES_PER_SECOND, CHAT_MS / 1000, chat, sending / 1000, flood);
    std::printf("host page, clients' lines the host passed on: %d of %d\n", relayed, sent);
    for (SOCKET s : clients)
        closesocket(s);
}

void ClientPage()
{
    WizardPlayer ann(HOLLAGRIN_EXE, "Ann");
    SOCKET hostSide = JoinRawHost(ann);
    if (hostSide == INVALID_SOCKET) {
        std::printf("client page: the wizard did not reach its lobby\n");
        return;
    }
    FrameReader fromAnn(hostSide);

    double idle = AnswerWatch(ann, IDLE_MS).LongestMs();

    // What a host relays of three other players' LINES_PER_SECOND lines: one burst a pass.
    AnswerWatch chatWatch(ann, CHAT_MS + 1000);
    DWORD start = GetTickCount();
    for (int pass = 0; GetTickCount() - start < CHAT_MS; ++pass) {
        Bytes burst;
        for (int n = 0; n < static_cast<int>(LINES_PER_SECOND) / 5; ++n) {
            for (int player : {0, 1, 3}) {
                Bytes line = ChatFrame(player, "P" + std::to_string(player) + "->line " + std::to_string(pass) + "." +
                                                   std::to_string(n));
                burst.insert(burst.end(), line.begin(), line.end());
            }
        }
        SendRaw(hostSide, burst);
        Sleep(200);
    }
    double chat = chatWatch.LongestMs();

    AnswerWatch floodWatch(ann, 8000);
    double floodStart = NowMs();
    SendRaw(hostSide, FloodBytes(1, "Bob", FLOOD_BYTES, "Bob->the end"));
    double sending = NowMs() - floodStart;
    ann.Drive({"until", TRANSCRIPT, "   Bob->the end\r\n"});
    double shown = NowMs() - floodStart;
    double flood = floodWatch.LongestMs();
    fromAnn.Stop();

    std::printf("client page, longest answer: idle %.0f ms; host relaying 3 x %lu lines/s for %lu s %.0f ms; "
                "5 MB flood relayed (written in %.1f s, its last line shown after %.1f s) %.0f ms\n",
                idle, LINES_PER_SECOND, CHAT_MS / 1000, chat, sending / 1000, shown / 1000, flood);
    closesocket(hostSide);
}

struct Talk {
    std::vector<double> sentAt[2];  // by talker and line number
};

// Two talkers send a line every TALK_INTERVAL_MS for the time given.
void TalkFor(SOCKET talkers[2], DWORD durationMs, const std::string& phase, Talk* talk)
{
    DWORD start = GetTickCount();
    for (int n = 0; GetTickCount() - start < durationMs; ++n) {
        for (int t = 0; t < 2; ++t) {
            talk->sentAt[t].push_back(NowMs());
            SendRaw(talkers[t], ChatFrame(t + 1, "T" + std::to_string(t + 1) + "->" + phase + " " + std::to_string(n) +
                                                     " " + Padding()));
        }
        Sleep(TALK_INTERVAL_MS);
    }
}

struct Window {
    double fromMs;
    double toMs;
};

// The time each line took to reach the other talker, counting the lines sent within one of
// the windows (all of them when there are none).
std::vector<double> WaysOfLines(const Talk& talk, const std::string& phase,
                                const std::vector<FrameReader::Received> received[2],
                                const std::vector<Window>& windows, int* missing)
{
    std::vector<double> ways;
    *missing = 0;
    for (int t = 0; t < 2; ++t) {
        std::string prefix = "T" + std::to_string(t + 1) + "->" + phase + " ";
        std::vector<double> seenAt(talk.sentAt[t].size(), -1);
        for (const FrameReader::Received& r : received[1 - t]) {
            std::string text(r.frame.payload.begin(), r.frame.payload.end());
            if (r.frame.type == MSG_CHAT + t + 1 && text.compare(0, prefix.size(), prefix) == 0) {
                size_t n = std::stoul(text.substr(prefix.size()));
                if (n < seenAt.size())
                    seenAt[n] = r.atMs;
            }
        }
        for (size_t n = 0; n < seenAt.size(); ++n) {
            double sent = talk.sentAt[t][n];
            bool counted = windows.empty();
            for (const Window& w : windows)
                counted = counted || (sent >= w.fromMs && sent <= w.toMs);
            if (!counted)
                continue;
            if (seenAt[n] < 0)
                ++*missing;
            else
                ways.push_back(seenAt[n] - sent);
        }
    }
    std::sort(ways.begin(), ways.end());
    return ways;
}

void PrintWays(const char* what, const std::vector<double>& ways, int missing)
{
    if (ways.empty()) {
        std::printf("%s: no lines arrived\n", what);
        return;
    }
    double p99 = ways[std::min(ways.size() - 1, static_cast<size_t>(ways.size() * 0.99))];
    std::printf("%s: %u lines, median %.0f ms, 99th percentile %.0f ms, longest %.0f ms, %d lost\n", what,
                static_cast<unsigned>(ways.size()), ways[ways.size() / 2], p99, ways.back(), missing);
}

void Latency()
{
    int port = FreeWizardPort();
    WizardPlayer host(HOLLAGRIN_EXE, "Hal");
    if (HostOn(host, port) != 0) {
        std::printf("latency: the host did not reach its lobby\n");
        return;
    }
    SOCKET talkers[2] = {JoinAsRawClient(port, 1), JoinAsRawClient(port, 2)};
    host.Drive({"until", PLAYER_COUNT, "Number of Players Connected: 2"});
    FrameReader first(talkers[0]);
    FrameReader second(talkers[1]);

    Talk reference;
    TalkFor(talkers, REFERENCE_TALK_MS, "reference", &reference);

    // Rounds of a third client that sends one long line, which comes back to it with
    // everything else, and reads nothing: the host drops it once it has taken nothing for 3 s.
    Talk stalled;
    std::vector<double> joinedAt;
    std::thread talking([&] { TalkFor(talkers, STALL_ROUNDS * 7000, "stalled", &stalled); });
    for (int round = 0; round < STALL_ROUNDS; ++round) {
        joinedAt.push_back(NowMs());
        SOCKET silent = JoinAsRawClient(port, 3, 4096);
        SendRaw(silent, ChatFrame(3, "S->" + std::string(65000, 's')));
        Sleep(7000);
        closesocket(silent);
    }
    talking.join();
    Sleep(1000);
    std::vector<FrameReader::Received> received[2] = {first.Stop(), second.Stop()};

    // The silent client counts from its joining to the moment the others heard it left.
    std::vector<Window> windows;
    size_t round = 0;
    for (const FrameReader::Received& r : received[0])
        if (r.frame.raw == Left(3) && round < joinedAt.size())
            windows.push_back({joinedAt[round++], r.atMs});
    int missing = 0;
    PrintWays("line from client to client, no other client", WaysOfLines(reference, "reference", received, {}, &missing),
              missing);
    std::vector<double> ways = WaysOfLines(stalled, "stalled", received, windows, &missing);
    char what[128] = {};
    std::snprintf(what, sizeof what, "line from client to client, a third one reading nothing (%u of %d rounds dropped)",
                  static_cast<unsigned>(windows.size()), STALL_ROUNDS);
    PrintWays(what, ways, missing);
    for (SOCKET s : talkers)
        closesocket(s);
}

} // namespace

// With no arguments, every part; or the parts named: host, client, latency.
int main(int argc, char** argv)
{
    StartWinsock();
    auto wanted = [&](const char* part) {
        if (argc == 1)
            return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], part) == 0)
                return true;
        return false;
    };
    if (wanted("host"))
        HostPage();
    if (wanted("client"))
        ClientPage();
    if (wanted("latency"))
        Latency();
    return 0;
}
