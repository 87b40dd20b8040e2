#pragma once
// Counts publications per source address in a sliding window.
#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>

using Clock = std::chrono::steady_clock;

class RateLimiter {
public:
    RateLimiter(size_t maxPerWindow, Clock::duration window);

    // Counts one attempt from the address; false, without counting it, when the address
    // has used up its window.
    bool Allow(const std::string& address, Clock::time_point now);

private:
    void ForgetIdleAddresses(Clock::time_point now);

    size_t maxPerWindow_;
    Clock::duration window_;
    std::unordered_map<std::string, std::deque<Clock::time_point>> attempts_;
    Clock::time_point lastSweep_;
};
