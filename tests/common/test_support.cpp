#include "test_support.h"

#include <cstdio>

std::string HostPath(const std::string& buildMachinePath)
{
    if (buildMachinePath.empty() || buildMachinePath[0] != '/')
        return buildMachinePath;
    std::string p = "Z:" + buildMachinePath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

std::string StandinGamePath()
{
    return HostPath(STANDIN_GAME_EXE);
}

TempFolder::TempFolder(bool enter)
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        char name[MAX_PATH] = {};
        std::snprintf(name, sizeof name, "%squarv-test-%lu-%u", base, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, nullptr)) {
            path_ = name;
            break;
        }
    }
    if (enter) {
        char cwd[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, cwd);
        previous_ = cwd;
        SetCurrentDirectoryA(path_.c_str());
    }
}

TempFolder::~TempFolder()
{
    if (!previous_.empty())
        SetCurrentDirectoryA(previous_.c_str());
    RemoveTree(path_);
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    unsigned char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    return bytes;
}

void WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

bool CopyFileOver(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool WaitForFile(const std::string& path, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!FileExists(path)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

ULONGLONG ProcessorTimeMs()
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    ULARGE_INTEGER k = {}, u = {};
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (k.QuadPart + u.QuadPart) / 10000;
}
