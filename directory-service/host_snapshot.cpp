#include "host_snapshot.h"

#include <algorithm>
#include <ctime>
#include <tuple>

void SortNewestFirst(std::vector<HostSnapshot>* hosts)
{
    // Address and port break ties, so that two reads of the same state agree.
    std::sort(hosts->begin(), hosts->end(), [](const HostSnapshot& a, const HostSnapshot& b) {
        return std::tie(b.listedSince, a.address, a.port) < std::tie(a.listedSince, b.address, b.port);
    });
}

std::string UtcText(WallClock::time_point when)
{
    if (when == WallClock::time_point()) {
        return std::string();
    }
    std::time_t seconds = WallClock::to_time_t(when);
    std::tm utc = {};
    gmtime_r(&seconds, &utc);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}
