#include "wizard_run.h"

#include <gtest/gtest.h>

std::string Quoted(const std::string& argument)
{
    return "\"" + argument + "\"";
}

int Int32At(const std::vector<unsigned char>& bytes, size_t offset)
{
    return static_cast<int>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                            static_cast<unsigned>(bytes[offset + 3]) << 24);
}

std::string TextAt(const std::vector<unsigned char>& bytes, size_t offset)
{
    return std::string(reinterpret_cast<const char*>(&bytes[offset]));
}

bool StartWizardIn(const std::string& wizardExe, const TempFolder& folder, PROCESS_INFORMATION* process)
{
    if (!CopyFileOver(HostPath(wizardExe), folder.File("Hollagrin.exe")) ||
        !CopyFileOver(StandinGamePath(), folder.File("quarv.exe")))
        return false;
    std::string line = Quoted(folder.File("Hollagrin.exe"));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *process = PROCESS_INFORMATION();
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(), &startup,
                          process) != 0;
}

DWORD RunWizardDriver(const std::string& options, std::initializer_list<std::string> commands, std::string* output)
{
    TempFolder scratch(false);
    std::string outputFile = scratch.File("driver.out");
    SECURITY_ATTRIBUTES inherit = {};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;
    HANDLE out = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string line = Quoted(HostPath(WIZARD_DRIVER_EXE)) + " " + options;
    for (const std::string& command : commands)
        line += " " + Quoted(command);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION driver = {};
    DWORD code = ~0u;
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &driver)) {
        code = ExitCodeWithin(driver.hProcess, 120000);
        if (code == ~0u)
            TerminateProcess(driver.hProcess, 1);
        CloseHandle(driver.hThread);
        CloseHandle(driver.hProcess);
    }
    CloseHandle(out);
    if (output) {
        std::vector<unsigned char> bytes = ReadFileBytes(outputFile);
        *output = std::string(bytes.begin(), bytes.end());
    }
    return code;
}

DWORD ExitCodeWithin(HANDLE process, DWORD timeoutMs)
{
    DWORD code = ~0u;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

namespace {
const DWORD PROCESS_END_MS = 30000;
}

WizardPlayer::WizardPlayer(const std::string& wizardExe, const std::string& name) : name_(name), folder_(false)
{
    if (!StartWizardIn(wizardExe, folder_, &process_))
        ADD_FAILURE() << name << ": the wizard did not start: " << GetLastError();
}

WizardPlayer::~WizardPlayer()
{
    if (process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

DWORD WizardPlayer::Drive(std::initializer_list<std::string> commands, std::string* output) const
{
    return RunWizardDriver("--pid " + std::to_string(process_.dwProcessId), commands, output);
}

std::vector<std::string> WizardPlayer::ListLines(const std::string& listId) const
{
    std::string output;
    EXPECT_EQ(0u, Drive({"lines", listId}, &output)) << name_;
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = output.substr(start, end - start);
        if (line == "--end--")
            break;
        lines.push_back(line);
    }
    return lines;
}

DWORD WizardPlayer::ExitCode() const
{
    return ExitCodeWithin(process_.hProcess, PROCESS_END_MS);
}
