#include "debugged_run.h"

#include <cstring>

namespace {

std::string NameOf(const std::string& entry)
{
    return entry.substr(0, entry.find('=', 1));
}

// A copy of this process's environment with the given entries set, as the block that
// CreateProcess takes.
std::vector<char> EnvironmentBlock(const std::vector<std::string>& changes)
{
    std::vector<std::string> entries;
    char* current = GetEnvironmentStringsA();
    for (const char* p = current; *p; p += std::strlen(p) + 1) {
        std::string entry = p;
        bool replaced = false;
        for (const std::string& change : changes)
            replaced = replaced || lstrcmpiA(NameOf(entry).c_str(), NameOf(change).c_str()) == 0;
        if (!replaced)
            entries.push_back(entry);
    }
    FreeEnvironmentStringsA(current);
    entries.insert(entries.end(), changes.begin(), changes.end());

    std::vector<char> block;
    for (const std::string& entry : entries)
        block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    block.push_back('\0');
    return block;
}

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info)
{
    if (info.fUnicode || info.nDebugStringLength == 0)
        return "(wide debug string)";
    std::vector<char> text(info.nDebugStringLength);
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, info.lpDebugStringData, text.data(), text.size(), &read))
        return "(unreadable debug string)";
    return std::string(text.data(), strnlen(text.data(), read));
}

}

DebuggedRun RunUnderDebugger(const std::string& program, const std::string& folder,
                             const std::vector<std::string>& environment, DWORD timeoutMs)
{
    DebuggedRun run = {};
    std::vector<char> block = EnvironmentBlock(environment);
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        block.data(), folder.c_str(), &startup, &process))
        return run;
    run.started = true;

    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DEBUG_EVENT event = {};
        if (elapsed >= timeoutMs || !WaitForDebugEvent(&event, timeoutMs - elapsed)) {
            TerminateProcess(process.hProcess, 1);
            DebugActiveProcessStop(process.dwProcessId);
            break;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            run.debugOutput.push_back(ReadDebugString(process.hProcess, event.u.DebugString));
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's breakpoint greets the debugger; anything else is the program's.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.finished = true;
            run.exitCode = event.u.ExitProcess.dwExitCode;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (run.finished)
            break;
    }
    WaitForSingleObject(process.hProcess, timeoutMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}
