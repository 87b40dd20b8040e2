#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

void Log(const char* format, ...)
{
    static std::mutex mutex;
    char stamp[32] = {};
    std::time_t now = std::time(nullptr);
    std::tm utc = {};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);

    char line[1024] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);

    std::lock_guard<std::mutex> lock(mutex);
    std::fprintf(stderr, "%s %s\n", stamp, line);
}
