#pragma once
// Helpers shared by the Windows test programs.
#include <windows.h>

#include <string>
#include <vector>

// A path of the build machine (as CMake knows it) in the form Wine's programs use.
std::string HostPath(const std::string& buildMachinePath);

// The stand-in game program, as a path the test can copy from.
std::string StandinGamePath();

// A fresh folder under the temporary directory, removed with everything in it at the end.
// With enter = true the process works in it until the folder goes away.
class TempFolder {
public:
    explicit TempFolder(bool enter = true);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
    std::string previous_;
};

bool FileExists(const std::string& path);
std::vector<unsigned char> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const void* data, size_t size);
bool CopyFileOver(const std::string& from, const std::string& to);
// Polls until the file exists, for programs that are started but not waited for.
bool WaitForFile(const std::string& path, DWORD timeoutMs);
void RemoveTree(const std::string& path);

// Processor time (kernel and user) this process has used so far, in milliseconds.
ULONGLONG ProcessorTimeMs();
