// Probes against real listeners on loopback, one per kind of answer, all probed at once.
#include "host_probe.h"
#include "test_peers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

TEST(HostProbe, TakesTheHandshakeOrTheServerFullHeaderAsAlive)
{
    struct HostCase {
        const char* name;
        HostAnswer answer;
        bool alive;
    };
    const HostCase cases[] = {
        {"handshake", HostAnswer::Handshake, true},
        {"handshake in pieces", HostAnswer::HandshakeInPieces, true},
        {"server full", HostAnswer::ServerFull, true},
        {"server full in pieces", HostAnswer::ServerFullInPieces, true},
        {"silent", HostAnswer::Silent, false},
        {"web server", HostAnswer::Garbage, false},
        {"hangs up", HostAnswer::Hangup, false},
    };
    std::vector<std::unique_ptr<StandInHost>> hosts;
    std::vector<ProbeTarget> targets;
    for (const HostCase& c : cases) {
        hosts.emplace_back(new StandInHost(c.answer));
        targets.push_back(ProbeTarget{static_cast<int64_t>(targets.size()), "127.0.0.1", hosts.back()->Port(), 0});
    }
    RefusingPort refusing;
    targets.push_back(ProbeTarget{99, "127.0.0.1", refusing.Port(), 0});

    const auto timeout = std::chrono::milliseconds(800);
    auto start = std::chrono::steady_clock::now();
    std::vector<bool> alive = ProbeHosts(targets, timeout);
    auto elapsed = std::chrono::steady_clock::now() - start;

    ASSERT_EQ(alive.size(), targets.size());
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(alive[i], cases[i].alive) << cases[i].name;
        EXPECT_EQ(hosts[i]->Connections(), 1) << cases[i].name;
    }
    EXPECT_FALSE(alive.back()) << "refusing";
    // The silent host holds its probe to the time-out, and no longer.
    EXPECT_GE(elapsed, timeout);
    EXPECT_LT(elapsed, timeout + std::chrono::milliseconds(1000));
}

}  // namespace
