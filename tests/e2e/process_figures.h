#pragma once
// What another process holds, read from outside it: its handles, its threads and its memory.
#include <windows.h>

#include <string>

struct ProcessFigures {
    DWORD handles;
    DWORD threads;
    SIZE_T privateBytes;  // memory of its own (commit charge; under Wine its anonymous resident memory)
    SIZE_T workingSet;
};

// False when the process could not be read.
bool ReadProcessFigures(HANDLE process, DWORD processId, ProcessFigures* figures);
// "41 handles, 9 threads, private 5120 KiB, working set 20480 KiB"
std::string DescribeFigures(const ProcessFigures& figures);
