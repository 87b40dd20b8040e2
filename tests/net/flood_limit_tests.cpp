// The flood limits at their edges: a clock in the test's hand, lines offered one by one.
#include "flood_limit.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Offer {
    unsigned int atMs;  // after the start
    int bytes;
    int times;  // offered this many times at that moment
    bool passes;
};

struct FloodCase {
    const char* name;
    unsigned int startMs;
    std::vector<Offer> offers;
};

std::vector<Offer> EveryMs(unsigned int intervalMs, int count, int bytes)
{
    std::vector<Offer> offers;
    for (int i = 0; i < count; ++i)
        offers.push_back({static_cast<unsigned int>(i) * intervalMs, bytes, 1, true});
    return offers;
}

// 128 ms before the millisecond clock wraps around.
const unsigned int BEFORE_WRAP = 0xFFFFFF80u;

const FloodCase kCases[] = {
    {"ten lines at once pass, the eleventh does not", 0, {{0, 10, 10, true}, {0, 10, 1, false}}},
    {"one line more every 250 ms", 0, {{0, 10, 10, true}, {249, 10, 1, false}, {250, 10, 1, true}, {250, 10, 1, false}}},
    {"dropped lines take nothing", 0, {{0, 10, 10, true}, {100, 10, 50, false}, {250, 10, 1, true}}},
    {"a line of the largest payload passes on its own", 0, {{0, 65536, 1, true}, {0, 1, 1, false}, {1, 16, 1, true}, {1, 1, 1, false}}},
    {"a line longer than the byte burst never passes", 0, {{0, 65537, 1, false}, {600000, 65537, 1, false}}},
    {"bytes run out before lines", 0, {{0, 16384, 4, true}, {0, 1, 1, false}, {250, 4096, 1, true}}},
    {"a fast typist, a line a second for a minute", 0, EveryMs(1000, 60, 60)},
    {"pasted 4 KiB lines at exactly the limits for 20 s", 0, EveryMs(250, 80, 4096)},
    {"a long silence refills to the burst only", 0, {{0, 10, 10, true}, {10000000, 10, 10, true}, {10000000, 10, 1, false}}},
    {"the millisecond clock wraps", BEFORE_WRAP, {{0, 10, 10, true}, {249, 10, 1, false}, {250, 10, 1, true}}},
};

TEST(FloodLimit, PassesWhatAPersonSendsAndDropsTheRest)
{
    for (const FloodCase& c : kCases) {
        FloodLimit limit = {};
        StartFloodLimit(limit, c.startMs);
        int step = 0;
        for (const Offer& offer : c.offers) {
            for (int i = 0; i < offer.times; ++i)
                EXPECT_EQ(offer.passes, AdmitLine(limit, offer.bytes, c.startMs + offer.atMs))
                    << c.name << ": offer " << step << " (" << offer.bytes << " bytes at " << offer.atMs
                    << " ms), time " << i + 1;
            ++step;
        }
    }
}

}  // namespace
