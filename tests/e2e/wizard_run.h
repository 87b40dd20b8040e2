#pragma once
// What the whole-program tests of the wizard share: installing and starting a wizard in a
// player's folder, running the wizard driver on it, and reading the record it leaves.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "test_support.h"

std::string Quoted(const std::string& argument);

// Little-endian fields of a record read from a file.
int Int32At(const std::vector<unsigned char>& bytes, size_t offset);
std::string TextAt(const std::vector<unsigned char>& bytes, size_t offset);

// Copies the wizard (as "Hollagrin.exe") and the stand-in game (as "quarv.exe") into the
// folder, as an installed game has them, and starts the wizard there.
bool StartWizardIn(const std::string& wizardExe, const TempFolder& folder, PROCESS_INFORMATION* process);

// Runs the wizard driver with the options and commands; its exit code (~0u when it could not
// run or did not end), and in *output what it printed.
DWORD RunWizardDriver(const std::string& options, std::initializer_list<std::string> commands,
                      std::string* output = nullptr);

// The process's exit code once it has ended, or ~0u when it did not end in time.
DWORD ExitCodeWithin(HANDLE process, DWORD timeoutMs);

// One player's wizard, started in a folder of its own and ended with the test.
class WizardPlayer {
public:
    WizardPlayer(const std::string& wizardExe, const std::string& name);
    ~WizardPlayer();
    WizardPlayer(const WizardPlayer&) = delete;
    WizardPlayer& operator=(const WizardPlayer&) = delete;

    const std::string& Name() const { return name_; }
    HANDLE Process() const { return process_.hProcess; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    std::string File(const std::string& name) const { return folder_.File(name); }
    // Runs the wizard driver on this player's wizard; its exit code, and in *output what it
    // printed.
    DWORD Drive(std::initializer_list<std::string> commands, std::string* output = nullptr) const;
    // The lines of a list box of the current page, as the player sees them now.
    std::vector<std::string> ListLines(const std::string& listId) const;
    // The exit code once the wizard has ended, or ~0u when it did not end in time.
    DWORD ExitCode() const;

private:
    std::string name_;
    TempFolder folder_;
    PROCESS_INFORMATION process_ = {};
};
