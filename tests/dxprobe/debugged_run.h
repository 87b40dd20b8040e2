#pragma once
// Starts a program under the debugging API, as a debugger would, and collects what it
// writes to the debugger output until it ends.
#include <windows.h>

#include <string>
#include <vector>

struct DebuggedRun {
    bool started;
    bool finished;  // ended on its own within the time limit
    DWORD exitCode;
    std::vector<std::string> debugOutput;  // one entry per OutputDebugString call, as written
};

// environment: "NAME=value" entries that replace or add to this process's environment.
DebuggedRun RunUnderDebugger(const std::string& program, const std::string& folder,
                             const std::vector<std::string>& environment, DWORD timeoutMs);
