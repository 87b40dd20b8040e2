#pragma once
// What the web page and the JSON document show of one listed host.
#include <chrono>
#include <string>
#include <vector>

using WallClock = std::chrono::system_clock;

struct HostSnapshot {
    std::string address;
    int port;
    std::string name;                   // the raw bytes of the entry's name, code page 1252
    WallClock::time_point listedSince;  // the epoch when not known
    WallClock::time_point lastAnswered;
};

// The order both documents state: the host listed last comes first.
void SortNewestFirst(std::vector<HostSnapshot>* hosts);

// "2026-05-01T12:00:00Z"; empty for an unknown (epoch) time.
std::string UtcText(WallClock::time_point when);
