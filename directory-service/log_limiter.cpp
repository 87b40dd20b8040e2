#include "log_limiter.h"

#include "log.h"

#include <chrono>
#include <cstdio>

LogLimiter::LogLimiter(Clock::duration interval, Writer writer)
    : interval_(interval),
      writer_(writer ? std::move(writer) : Writer([](const std::string& line) { Log("%s", line.c_str()); }))
{
}

void LogLimiter::Event(const std::string& kind, const std::string& line, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = kinds_.find(kind);
    if (found == kinds_.end()) {
        Write(&kinds_[kind], line, now);
        return;
    }
    Kind& seen = found->second;
    if (now - seen.lastLine < interval_) {
        ++seen.leftOut;
        seen.lastText = line;
        return;
    }
    Write(&seen, line, now);
}

void LogLimiter::Flush(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : kinds_) {
        Kind& kind = entry.second;
        if (kind.leftOut != 0 && now - kind.lastLine >= interval_) {
            // The latest of the events left out stands for them all.
            std::string text = kind.lastText;
            --kind.leftOut;
            Write(&kind, text, now);
        }
    }
}

void LogLimiter::Write(Kind* kind, const std::string& text, Clock::time_point now)
{
    std::string line = text;
    if (kind->leftOut != 0) {
        double seconds = std::chrono::duration<double>(now - kind->lastLine).count();
        char note[96] = {};
        std::snprintf(note, sizeof note, " (%llu more like this left out in the last %.0f s)",
                      static_cast<unsigned long long>(kind->leftOut), seconds);
        line += note;
    }
    writer_(line);
    kind->lastLine = now;
    kind->leftOut = 0;
    kind->lastText.clear();
}
