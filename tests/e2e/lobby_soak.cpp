// A lobby that runs for an evening, in minutes: a real host Hollagrin.exe and raw clients
// that join, chat, stop reading, flood, send garbage and leave, in a pattern drawn from a
// seed. The first client to join stays throughout and reads everything. At the end, with
// everybody else gone, the host's handles, threads and memory must be back near where they
// were after that first join; every line of the players who behave (the host's too) must
// have reached the first client, all of them and in order; and the host must still answer:
// its page, and a new client that joins and chats.
//
//   lobby_soak [minutes] [seed]      (2 minutes and a seed from the clock by default)
//
// The seed is printed first. The pattern runs in steps of at least STEP_MS, each step's
// draws made in the same order whatever the timing, so the same seed plays the same pattern
// again, however fast the machine goes through it; only a client that stopped reading may be
// dropped by the host at another moment.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "lobby_bytes.h"
#include "lobby_load.h"
#include "process_figures.h"
#include "wizard_ports.h"

namespace {

double g_minutes = 2;
unsigned long g_seed;

// How far the host may stay above its figures after the first join once everybody else
// has left. Each slot's player thread keeps its handle until the slot is taken again, so
// the two other slots may each hold one; the rest is room for what the system itself
// opens and lets go when it likes.
const long HANDLE_MARGIN = 4;
const long THREAD_MARGIN = 0;
// Memory freed to Wine's heap stays committed, so the host keeps what its busiest moment
// used (pasted lines in three send queues, a stopped client's full queue): runs ended 1 to
// 4.2 MiB above their start while their highest figure was 5 to 8 MiB above it. A leak
// that outgrows that shows here in a long soak, whose figures stay flat once it is warm.
const long long MEMORY_MARGIN = 8 * 1024 * 1024;

// The host takes three clients; the first one holds a place for good.
const int VISITOR_PLACES = 2;
const DWORD STEP_MS = 100;
const DWORD SAMPLE_MS = 5000;
// In steps: a client who behaves talks at most one line every three, well within the
// host's flood limits.
const int OBSERVER_LINE_STEPS = 20;
const int FIRST_LINE_STEPS[2] = {1, 15};
const int LINE_STEPS[2] = {3, 15};
const int STAY_STEPS[2] = {20, 300};
const int HOST_LINE_STEPS[2] = {100, 200};
// Now and then a line of a few KiB, as pasted text, at most one every PASTE_STEPS for each
// client: well within the byte limit, and enough to fill what the host holds for a client
// that stopped reading, so that the host drops some of them.
const int PASTE_STEPS = 20;
const int PASTE_BYTES[2] = {4096, 16384};
const double JOIN_CHANCE = 0.15;
const double FULL_JOIN_CHANCE = 0.02;
// A client's line comes back through the host's relay within a pass or two; this is for a
// busy machine.
const DWORD ECHO_MS = 10000;

const char* const OBSERVER = "Obs";

// Reads one client's stream until it ends or is stopped, and keeps the numbers of the lines
// "<name>->line <n>" by name, in the order they came.
class LineReader {
public:
    explicit LineReader(SOCKET s) : socket_(s), thread_([this] { Run(); }) {}
    ~LineReader() { Stop(); }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    void Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::vector<int> LinesOf(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_[name];
    }
    // The host ended the stream.
    bool Ended() const { return ended_; }
    long FloodLines() const { return floodLines_; }
    // Lines sent under somebody else's number, and start signals: nothing a client sends
    // as either may be passed on.
    long Forged() const { return forged_; }

private:
    void Run()
    {
        ended_ = !ReadFramesUntil(socket_, stop_, [this](const Frame& frame) { Take(frame); });
    }
    void Take(const Frame& frame)
    {
        if (frame.type == MSG_START_GAME)
            ++forged_;
        if (frame.type < MSG_CHAT || frame.type > MSG_CHAT_LAST || frame.payload.size() < 3)
            return;
        std::string text(frame.payload.begin(), frame.payload.end() - 3);
        size_t arrow = text.find("->line ");
        if (arrow != std::string::npos) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_[text.substr(0, arrow)].push_back(std::atoi(text.c_str() + arrow + 7));
        }
        floodLines_ += text.find("->flood ") != std::string::npos;
        forged_ += text.find("->forged") != std::string::npos;
    }

    SOCKET socket_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<long> floodLines_{0};
    std::atomic<long> forged_{0};
    std::mutex mutex_;
    std::map<std::string, std::vector<int>> lines_;
    std::thread thread_;
};

enum class Kind { Talker, Staller, Flooder, Garbler };

struct Visitor {
    Kind kind;
    std::string name;
    SOCKET socket;
    int player;
    long leaveAtStep;
    long nextLineStep;
    long nextPasteStep;
    int linesSent;
    std::unique_ptr<LineReader> reader;
    std::thread flood;  // a flooder leaves once it has sent all of its flood
};

std::vector<int> Numbered(int count)
{
    std::vector<int> numbers;
    for (int n = 0; n < count; ++n)
        numbers.push_back(n);
    return numbers;
}

std::string Line(const std::string& name, int n)
{
    return name + "->line " + std::to_string(n);
}

// A line with the text of a paste after its number.
std::string PastedLine(const std::string& name, int n, int bytes)
{
    return Line(name, n) + " " + std::string(static_cast<size_t>(bytes), 'p');
}

std::string Minutes(double ms)
{
    char text[32] = {};
    std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(ms / 60000), static_cast<int>(ms / 1000) % 60);
    return text;
}

// Connects and reads the opening: the player number the host gave, 0 when it said it was
// full, -1 when it said anything else or nothing.
int Connect(int port, int receiveBuffer, SOCKET* s)
{
    *s = ConnectToPort(port, receiveBuffer);
    if (*s == INVALID_SOCKET)
        return -1;
    Bytes opening = ReadBytes(*s, 16, 10000);
    for (int player = 1; player <= 3; ++player) {
        if (opening == Opening(player))
            return player;
    }
    closesocket(*s);
    *s = INVALID_SOCKET;
    return opening == SERVER_FULL ? 0 : -1;
}

// Bytes the host must refuse to read on: each ends the connection.
Bytes Garbage(int which)
{
    switch (which) {
    case 0:
        return Bytes{0xD2, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F};  // a line of 2 GiB
    case 1:
        return Bytes{0xD2, 0x07, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00};  // 64 KiB and one byte
    case 2:
        return Bytes{0xD2, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};  // a negative length
    default:
        return Text("GET / HTTP/1.0\r\n\r\n");
    }
}

class LobbySoak {
public:
    LobbySoak(WizardPlayer& host, int port) : host_(host), port_(port), random_(g_seed) {}
    void Run();

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    int Pick(const int range[2]) { return Pick(range[0], range[1]); }
    double Elapsed() const { return NowMs() - startMs_; }

    bool JoinObserver();
    void HostLine();
    void Sample(bool print);
    void Step();
    void Join(Kind kind, bool expectFull);
    bool PlaceIsFree(int player);
    void Garble(Visitor& visitor);
    void Leave(Visitor& visitor);
    void LeaveEveryone();
    void CheckFigures();
    void CheckHostAnswers();
    void CheckLines();

    WizardPlayer& host_;
    int port_;
    std::mt19937 random_;
    double startMs_ = 0;
    long step_ = 0;
    long nextObserverLine_ = 0;
    long nextHostLine_ = 0;
    SOCKET observer_ = INVALID_SOCKET;
    std::unique_ptr<LineReader> observerReader_;
    int observerLines_ = 0;
    int hostLines_ = 0;
    std::vector<std::unique_ptr<Visitor>> visitors_;
    int visitorCount_ = 0;
    std::map<std::string, int> sent_;  // lines of the players who behave, by name
    int kinds_[4] = {};
    int refused_ = 0;
    int stallersDropped_ = 0;
    long long floodBytes_ = 0;
    ProcessFigures afterFirstJoin_ = {};
    ProcessFigures peak_ = {};
};

bool LobbySoak::JoinObserver()
{
    if (Connect(port_, 0, &observer_) != 1) {
        ADD_FAILURE() << "the first client did not get place 1";
        return false;
    }
    observerReader_.reset(new LineReader(observer_));
    SendRaw(observer_, ChatFrame(1, Line(OBSERVER, observerLines_++)));
    HostLine();
    double start = NowMs();
    while (NowMs() - start < ECHO_MS &&
           (observerReader_->LinesOf(OBSERVER).size() < 1 || observerReader_->LinesOf(host_.Name()).size() < 1))
        Sleep(50);
    return !observerReader_->LinesOf(OBSERVER).empty() && !observerReader_->LinesOf(host_.Name()).empty();
}

void LobbySoak::HostLine()
{
    std::string line = "line " + std::to_string(hostLines_++);
    EXPECT_EQ(0u, host_.Drive({"type", CHAT_INPUT, line, "enter", CHAT_INPUT})) << "the host's page, at " << Minutes(Elapsed());
}

void LobbySoak::Sample(bool print)
{
    ProcessFigures now = {};
    if (!ReadProcessFigures(host_.Process(), host_.ProcessId(), &now)) {
        ADD_FAILURE() << "the host's figures could not be read";
        return;
    }
    peak_.handles = std::max(peak_.handles, now.handles);
    peak_.threads = std::max(peak_.threads, now.threads);
    peak_.privateBytes = std::max(peak_.privateBytes, now.privateBytes);
    peak_.workingSet = std::max(peak_.workingSet, now.workingSet);
    if (print) {
        std::printf("%s  %s; %d clients so far, %d here\n", Minutes(Elapsed()).c_str(), DescribeFigures(now).c_str(),
                    visitorCount_, static_cast<int>(visitors_.size()));
        std::fflush(stdout);
    }
}

bool LobbySoak::PlaceIsFree(int player)
{
    if (player == 1)
        return false;
    for (size_t i = 0; i < visitors_.size(); ++i) {
        Visitor& holder = *visitors_[i];
        if (holder.player != player)
            continue;
        // Only a client that stopped reading may lose its place without leaving: the host
        // drops it once what it is sent backs up.
        if (holder.kind != Kind::Staller || !ConnectionEnds(holder.socket, 3000))
            return false;
        ++stallersDropped_;
        closesocket(holder.socket);
        visitors_.erase(visitors_.begin() + i);
        return true;
    }
    return true;
}

void LobbySoak::Join(Kind kind, bool expectFull)
{
    SOCKET s = INVALID_SOCKET;
    int player = 0;
    // A place that a client has just left is free once the host's threads for it have ended.
    for (double giveUp = NowMs() + 10000; (player = Connect(port_, kind == Kind::Staller ? 4096 : 0, &s)) == 0;) {
        if (expectFull) {
            ++refused_;
            return;
        }
        if (NowMs() > giveUp) {
            ADD_FAILURE() << "at " << Minutes(Elapsed()) << " the host still said it was full with "
                          << visitors_.size() + 1 << " clients";
            return;
        }
        Sleep(250);
    }
    if (player < 0) {
        ADD_FAILURE() << "at " << Minutes(Elapsed()) << " a client got no opening";
        return;
    }
    if (!PlaceIsFree(player)) {
        ADD_FAILURE() << "at " << Minutes(Elapsed()) << " place " << player << " was given to a second client";
        closesocket(s);
        return;
    }
    std::unique_ptr<Visitor> visitor(new Visitor);
    Visitor& v = *visitor;
    v.kind = kind;
    v.name = std::string(1, "TSFG"[static_cast<int>(kind)]) + std::to_string(++visitorCount_);
    v.socket = s;
    v.player = player;
    v.leaveAtStep = step_ + Pick(STAY_STEPS);
    v.nextLineStep = step_ + Pick(FIRST_LINE_STEPS);
    v.nextPasteStep = step_;
    v.linesSent = 0;
    ++kinds_[static_cast<int>(kind)];
    if (kind != Kind::Staller)
        v.reader.reset(new LineReader(s));
    if (kind == Kind::Flooder) {
        Bytes flood = FloodBytes(player, v.name, static_cast<size_t>(Pick(64, 1024)) * 1024, v.name + "->flood end");
        floodBytes_ += static_cast<long long>(flood.size());
        v.flood = std::thread([s, flood] { SendRaw(s, flood); });
    }
    visitors_.push_back(std::move(visitor));
    if (kind == Kind::Garbler)
        Garble(v);
}

void LobbySoak::Garble(Visitor& v)
{
    // Lines as somebody else and a start signal, which the host must not pass on, then
    // bytes it must end the connection for.
    int other = v.player % 3 + 1;
    Bytes forged = ChatFrame(other, v.name + "->forged") + ChatFrame(0, v.name + "->forged") + START_SIGNAL;
    int which = Pick(0, 3);
    SendRaw(v.socket, forged + Garbage(which));
    double start = NowMs();
    while (!v.reader->Ended() && NowMs() - start < 10000)
        Sleep(50);
    EXPECT_TRUE(v.reader->Ended()) << "at " << Minutes(Elapsed()) << " the host kept " << v.name
                                   << " after garbage " << which;
    v.leaveAtStep = step_;
}

void LobbySoak::Leave(Visitor& v)
{
    if (v.kind == Kind::Talker) {
        double start = NowMs();
        while (v.reader->LinesOf(v.name).size() < static_cast<size_t>(v.linesSent) && NowMs() - start < ECHO_MS)
            Sleep(20);
        EXPECT_EQ(Numbered(v.linesSent), v.reader->LinesOf(v.name)) << v.name << "'s own lines, as it got them back";
    }
    if (v.flood.joinable())
        v.flood.join();
    // Read what was waiting for a client that stopped reading: it ends with the host's
    // close when the host dropped it.
    if (v.kind == Kind::Staller && ConnectionEnds(v.socket, 500))
        ++stallersDropped_;
    if (v.reader) {
        v.reader->Stop();
        if (v.kind != Kind::Garbler) {
            EXPECT_FALSE(v.reader->Ended()) << "at " << Minutes(Elapsed()) << " the host dropped " << v.name;
        }
    }
    switch (Pick(0, 2)) {
    case 0:
        shutdown(v.socket, SD_SEND);
        break;
    case 1: {
        // A reset instead of an orderly end.
        linger now = {1, 0};
        setsockopt(v.socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
        break;
    }
    default: {
        // Gone half-way through a line.
        Bytes half = ChatFrame(v.player, v.name + "->never finished");
        half.resize(half.size() / 2);
        SendRaw(v.socket, half);
        break;
    }
    }
    closesocket(v.socket);
}

// One step of the pattern: its draws come in the same order whatever the timing.
void LobbySoak::Step()
{
    for (size_t i = 0; i < visitors_.size();) {
        Visitor& v = *visitors_[i];
        if (v.kind == Kind::Talker && step_ >= v.nextLineStep) {
            const bool paste = step_ >= v.nextPasteStep && Chance(0.5);
            const int n = v.linesSent++;
            SendRaw(v.socket, ChatFrame(v.player, paste ? PastedLine(v.name, n, Pick(PASTE_BYTES)) : Line(v.name, n)));
            if (paste)
                v.nextPasteStep = step_ + PASTE_STEPS;
            sent_[v.name] = v.linesSent;
            v.nextLineStep = step_ + Pick(LINE_STEPS);
        }
        if (step_ >= v.leaveAtStep) {
            Leave(v);
            visitors_.erase(visitors_.begin() + i);
        } else {
            ++i;
        }
    }
    const bool join = Chance(visitors_.size() < static_cast<size_t>(VISITOR_PLACES) ? JOIN_CHANCE : FULL_JOIN_CHANCE);
    const int roll = Pick(0, 99);
    if (join && visitors_.size() < static_cast<size_t>(VISITOR_PLACES))
        Join(roll < 45 ? Kind::Talker : roll < 60 ? Kind::Staller : roll < 80 ? Kind::Flooder : Kind::Garbler, false);
    else if (join)
        Join(Kind::Talker, true);
    if (step_ >= nextObserverLine_) {
        SendRaw(observer_, ChatFrame(1, PastedLine(OBSERVER, observerLines_++, Pick(PASTE_BYTES))));
        nextObserverLine_ = step_ + OBSERVER_LINE_STEPS;
    }
    if (step_ >= nextHostLine_) {
        HostLine();
        nextHostLine_ = step_ + Pick(HOST_LINE_STEPS);
    }
    ++step_;
}

void LobbySoak::LeaveEveryone()
{
    for (std::unique_ptr<Visitor>& v : visitors_)
        Leave(*v);
    visitors_.clear();
}

void LobbySoak::CheckFigures()
{
    ProcessFigures end = {};
    ASSERT_TRUE(ReadProcessFigures(host_.Process(), host_.ProcessId(), &end));
    std::printf("after the first join:   %s\n", DescribeFigures(afterFirstJoin_).c_str());
    std::printf("highest while it ran:   %s\n", DescribeFigures(peak_).c_str());
    std::printf("at the end, 1 client:   %s\n", DescribeFigures(end).c_str());
    EXPECT_LE(static_cast<long>(end.handles), static_cast<long>(afterFirstJoin_.handles) + HANDLE_MARGIN);
    EXPECT_LE(static_cast<long>(end.threads), static_cast<long>(afterFirstJoin_.threads) + THREAD_MARGIN);
    EXPECT_LE(static_cast<long long>(end.privateBytes),
              static_cast<long long>(afterFirstJoin_.privateBytes) + MEMORY_MARGIN);
    EXPECT_LE(static_cast<long long>(end.workingSet), static_cast<long long>(afterFirstJoin_.workingSet) + MEMORY_MARGIN);
}

void LobbySoak::CheckHostAnswers()
{
    EXPECT_LE(AnswerWatch(host_, 2000).LongestMs(), 2000.0) << "the host's page did not answer";
    SOCKET newcomer = INVALID_SOCKET;
    ASSERT_EQ(2, Connect(port_, 0, &newcomer)) << "a new client did not get the lowest free place";
    LineReader newcomerReader(newcomer);
    SendRaw(newcomer, ChatFrame(2, Line("New", 0)));
    sent_["New"] = 1;
    EXPECT_EQ(0u, host_.Drive({"until", TRANSCRIPT, Line("New", 0)})) << "the new client's line on the host's page";
    HostLine();
    double start = NowMs();
    while (NowMs() - start < ECHO_MS && (newcomerReader.LinesOf("New").empty() ||
                                         newcomerReader.LinesOf(host_.Name()).empty()))
        Sleep(50);
    EXPECT_EQ(Numbered(1), newcomerReader.LinesOf("New")) << "the new client's line back at it";
    EXPECT_EQ(std::vector<int>{hostLines_ - 1}, newcomerReader.LinesOf(host_.Name())) << "the host's line at the new client";
    newcomerReader.Stop();
    closesocket(newcomer);
}

void LobbySoak::CheckLines()
{
    // The last lines have a relay pass or two to arrive.
    sent_[OBSERVER] = observerLines_;
    sent_[host_.Name()] = hostLines_;
    double start = NowMs();
    auto allCame = [&] {
        for (const auto& sent : sent_)
            if (observerReader_->LinesOf(sent.first).size() < static_cast<size_t>(sent.second))
                return false;
        return true;
    };
    while (!allCame() && NowMs() - start < ECHO_MS)
        Sleep(50);
    long lines = 0;
    bool allInOrder = true;
    for (const auto& sent : sent_) {
        bool inOrder = observerReader_->LinesOf(sent.first) == Numbered(sent.second);
        EXPECT_TRUE(inOrder) << sent.first << "'s lines at the first client: " << sent.second << " sent, "
                             << observerReader_->LinesOf(sent.first).size() << " came";
        allInOrder = allInOrder && inOrder;
        lines += sent.second;
    }
    EXPECT_FALSE(observerReader_->Ended()) << "the host dropped the first client";
    EXPECT_EQ(0, observerReader_->Forged()) << "forged lines or start signals were passed on";
    std::printf("lines of the players who behave: %ld from %d players, all at the first client in order: %s\n", lines,
                static_cast<int>(sent_.size()), allInOrder ? "yes" : "NO");
    std::printf("clients: %d talked, %d stopped reading (%d of them dropped by the host), %d flooded (%ld KiB, %ld "
                "lines passed on), %d sent garbage; %d refused while full\n",
                kinds_[0], kinds_[1], stallersDropped_, kinds_[2], static_cast<long>(floodBytes_ / 1024),
                observerReader_->FloodLines(), kinds_[3], refused_);
}

void LobbySoak::Run()
{
    ASSERT_EQ(0u, HostOn(host_, port_));
    ASSERT_TRUE(JoinObserver()) << "the first client's line or the host's did not come";
    ASSERT_EQ(0u, host_.Drive({"until", PLAYER_COUNT, "Number of Players Connected: 1"}));
    Sleep(2000);
    ASSERT_TRUE(ReadProcessFigures(host_.Process(), host_.ProcessId(), &afterFirstJoin_));
    peak_ = afterFirstJoin_;
    startMs_ = NowMs();
    std::printf("0:00  %s after the first join\n", DescribeFigures(afterFirstJoin_).c_str());

    const double durationMs = g_minutes * 60000;
    const double printMs = durationMs <= 5 * 60000 ? 30000 : 60000;
    double nextSample = startMs_ + SAMPLE_MS;
    double nextPrint = startMs_ + printMs;
    nextObserverLine_ = OBSERVER_LINE_STEPS;
    nextHostLine_ = Pick(HOST_LINE_STEPS);
    while (Elapsed() < durationMs) {
        Step();
        Sleep(STEP_MS);
        double now = NowMs();
        if (now >= nextSample) {
            Sample(now >= nextPrint);
            if (now >= nextPrint)
                nextPrint += printMs;
            nextSample = now + SAMPLE_MS;
        }
        if (::testing::Test::HasFatalFailure())
            return;
    }
    LeaveEveryone();
    EXPECT_EQ(0u, host_.Drive({"until", PLAYER_COUNT, "Number of Players Connected: 1"}))
        << "the host did not see everybody else go";
    Sleep(2000);
    CheckFigures();
    CheckLines();
    CheckHostAnswers();
    observerReader_->Stop();
    closesocket(observer_);
}

} // namespace

TEST(LobbySoak, ClientsComeAndGoAndTheHostEndsAsItBegan)
{
    std::printf("soak of %.1f minutes, seed %lu (replay: tools/soak-lobby %g %lu)\n", g_minutes, g_seed, g_minutes,
                g_seed);
    std::fflush(stdout);
    StartWinsock();
    WizardPlayer host(HOLLAGRIN_EXE, "Hal");
    LobbySoak(host, FreeWizardPort()).Run();
    if (HasFailure())
        std::printf("replay with: tools/soak-lobby %g %lu\n", g_minutes, g_seed);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    g_seed = static_cast<unsigned long>(GetTickCount() ^ (GetCurrentProcessId() << 16));
    if (argc > 1)
        g_minutes = std::atof(argv[1]);
    if (argc > 2)
        g_seed = std::strtoul(argv[2], nullptr, 10);
    if (g_minutes <= 0) {
        std::fprintf(stderr, "usage: lobby_soak [minutes] [seed]\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
