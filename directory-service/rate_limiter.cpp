#include "rate_limiter.h"

RateLimiter::RateLimiter(size_t maxPerWindow, Clock::duration window)
    : maxPerWindow_(maxPerWindow), window_(window), lastSweep_(Clock::now())
{
}

bool RateLimiter::Allow(const std::string& address, Clock::time_point now)
{
    ForgetIdleAddresses(now);
    std::deque<Clock::time_point>& times = attempts_[address];
    while (!times.empty() && now - times.front() >= window_) {
        times.pop_front();
    }
    if (times.size() >= maxPerWindow_) {
        return false;
    }
    times.push_back(now);
    return true;
}

// Without this, every address that ever published would stay in memory.
void RateLimiter::ForgetIdleAddresses(Clock::time_point now)
{
    if (now - lastSweep_ < window_) {
        return;
    }
    lastSweep_ = now;
    for (auto it = attempts_.begin(); it != attempts_.end();) {
        if (it->second.empty() || now - it->second.back() >= window_) {
            it = attempts_.erase(it);
        } else {
            ++it;
        }
    }
}
