// Stand-in for a program the front end starts ("quarv.exe", and in the launcher's own
// tests "Hollagrin.exe"). It writes "<its file name>.ran" into its working folder with
// what it found there, so that a test can check what it was handed. The record is
// written to a temporary name and then renamed, so it is complete once it exists.
#include <windows.h>

#include <cstdio>
#include <cstring>

static void DescribeFile(FILE* out, const char* name)
{
    WIN32_FILE_ATTRIBUTE_DATA info = {};
    if (GetFileAttributesExA(name, GetFileExInfoStandard, &info))
        std::fprintf(out, "%s=%lu\n", name, info.nFileSizeLow);
    else
        std::fprintf(out, "%s=missing\n", name);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const char* base = std::strrchr(module, '\\');
    base = base ? base + 1 : module;

    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);

    char record[MAX_PATH + 8] = {};
    char partial[MAX_PATH + 16] = {};
    std::snprintf(record, sizeof record, "%s.ran", base);
    std::snprintf(partial, sizeof partial, "%s.ran.part", base);

    FILE* out = std::fopen(partial, "wb");
    if (!out)
        return 1;
    std::fprintf(out, "program=%s\n", base);
    std::fprintf(out, "cwd=%s\n", cwd);
    std::fprintf(out, "args=%s\n", commandLine);
    DescribeFile(out, "options.bin");
    DescribeFile(out, "netoptions.bin");
    std::fclose(out);
    MoveFileExA(partial, record, MOVEFILE_REPLACE_EXISTING);
    return 0;
}
