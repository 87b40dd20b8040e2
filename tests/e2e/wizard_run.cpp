#include "wizard_run.h"

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
