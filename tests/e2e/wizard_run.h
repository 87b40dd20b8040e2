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
