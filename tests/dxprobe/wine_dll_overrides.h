#pragma once
// Wine's per-program DLL load order, for the life of the object. Wine takes
// WINEDLLOVERRIDES from the environment it was started with, not from the environment
// block a program hands to CreateProcess, so a test that needs a child process to load
// different libraries than itself writes the child's entry under
// HKCU\Software\Wine\AppDefaults\<program file name>\DllOverrides instead.
#include <string>
#include <utility>
#include <vector>

class WineDllOverrides {
public:
    // orders: library base name and load order ("native", "builtin", "" for absent).
    WineDllOverrides(const std::string& programFileName,
                     const std::vector<std::pair<std::string, std::string>>& orders);
    ~WineDllOverrides();
    WineDllOverrides(const WineDllOverrides&) = delete;
    WineDllOverrides& operator=(const WineDllOverrides&) = delete;

    bool Written() const { return written_; }

private:
    std::string programKey_;
    bool written_;
};
