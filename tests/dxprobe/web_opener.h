#pragma once
// Makes the shell's "open" of http and https addresses start a given program (with the
// address as its argument) instead of a browser, for the life of the object. Wine's
// shell reads the command from HKEY_CLASSES_ROOT\<scheme>\shell\open\command and does
// not look at HKCU\Software\Classes, so the machine-wide entry is replaced and put back.
#include <string>
#include <vector>

class WebOpener {
public:
    explicit WebOpener(const std::string& programPath);
    ~WebOpener();
    WebOpener(const WebOpener&) = delete;
    WebOpener& operator=(const WebOpener&) = delete;

    bool Registered() const { return registered_; }

private:
    struct SavedCommand {
        std::string key;
        bool existed;
        std::string command;
    };
    std::vector<SavedCommand> saved_;
    bool registered_;
};
