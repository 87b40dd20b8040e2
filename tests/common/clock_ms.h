#pragma once
// A clock in milliseconds from the performance counter, for moments compared on this
// machine: every process reads the same counter.
#include <windows.h>

inline double NowMs()
{
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER counter = {};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}
