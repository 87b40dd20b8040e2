#pragma once
// The service's log: one line per event on standard error, with a UTC time stamp, so that
// it reads the same under systemd's journal and in a terminal.

void Log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
