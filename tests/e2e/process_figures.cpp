#include "process_figures.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <vector>

namespace {

// The system's list of every open handle (NtQuerySystemInformation, class 16), with the
// owner of each.
struct SystemHandleEntry {
    ULONG ownerProcessId;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    void* object;
    ACCESS_MASK access;
};
const ULONG SYSTEM_HANDLE_INFORMATION = 16;
const LONG STATUS_INFO_LENGTH_MISMATCH = static_cast<LONG>(0xC0000004);
typedef LONG(WINAPI* QuerySystemInformation)(ULONG, void*, ULONG, ULONG*);

// Wine 8 answers GetProcessHandleCount with 0 for every process; its list of the system's
// handles has them one by one.
bool CountHandlesInSystemList(DWORD processId, DWORD* count)
{
    QuerySystemInformation query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return false;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        LONG status = query(SYSTEM_HANDLE_INFORMATION, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == STATUS_INFO_LENGTH_MISMATCH) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0)
            return false;
        break;
    }
    ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const SystemHandleEntry* entry = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    *count = 0;
    for (ULONG i = 0; i < entries; ++i)
        *count += entry[i].ownerProcessId == processId;
    return true;
}

bool CountThreads(DWORD processId, DWORD* count)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == processId) {
            *count = entry.cntThreads;
            found = true;
        }
    }
    CloseHandle(snapshot);
    return found;
}

} // namespace

bool ReadProcessFigures(HANDLE process, DWORD processId, ProcessFigures* figures)
{
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process, &memory, sizeof memory) || !CountThreads(processId, &figures->threads))
        return false;
    figures->privateBytes = memory.PagefileUsage;
    figures->workingSet = memory.WorkingSetSize;
    if (!GetProcessHandleCount(process, &figures->handles))
        return false;
    return figures->handles != 0 || CountHandlesInSystemList(processId, &figures->handles);
}

std::string DescribeFigures(const ProcessFigures& figures)
{
    char text[160] = {};
    std::snprintf(text, sizeof text, "%lu handles, %lu threads, private %lu KiB, working set %lu KiB",
                  static_cast<unsigned long>(figures.handles), static_cast<unsigned long>(figures.threads),
                  static_cast<unsigned long>(figures.privateBytes / 1024),
                  static_cast<unsigned long>(figures.workingSet / 1024));
    return text;
}
