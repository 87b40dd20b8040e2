#pragma once
// Keeps events that strangers can repeat at will (refused connections, malformed requests)
// from flooding the log: each kind of event is logged at most once per interval, and the
// next line of that kind says how many were left out since the one before.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

using Clock = std::chrono::steady_clock;

class LogLimiter {
public:
    using Writer = std::function<void(const std::string& line)>;
    // Lines go to the service's log unless a test gives another writer.
    explicit LogLimiter(Clock::duration interval, Writer writer = Writer());

    // Logs the line now, or counts it when a line of the same kind went out less than one
    // interval ago. The kind must come from a fixed set (a format string, say), never from
    // what a client sent: each kind is remembered for good.
    void Event(const std::string& kind, const std::string& line, Clock::time_point now);

    // Reports the events left out of each kind whose interval has passed; without this, a
    // burst that ends would never have its count told. Called every fraction of a second.
    void Flush(Clock::time_point now);

private:
    struct Kind {
        Clock::time_point lastLine;
        uint64_t leftOut = 0;
        std::string lastText;
    };
    void Write(Kind* kind, const std::string& text, Clock::time_point now);

    const Clock::duration interval_;
    const Writer writer_;
    std::mutex mutex_;
    std::map<std::string, Kind> kinds_;
};
