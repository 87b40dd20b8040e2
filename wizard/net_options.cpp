#include "net_options.h"

#include <cstdio>

NetOptions g_NetOptions;

const char kNetOptionsFileName[] = "netoptions.bin";
const char kNetOptionsTempFileName[] = "netoptions.bin.tmp";

namespace {

// fclose flushes the stream, so a full disk shows up there as often as in fwrite.
bool WriteRecord(const char* name, const NetOptions& options)
{
    FILE* file = std::fopen(name, "wb");
    if (!file)
        return false;
    bool written = std::fwrite(&options, sizeof options, 1, file) == 1;
    bool closed = std::fclose(file) == 0;
    return written && closed;
}

} // namespace

void SaveNetOptions(const NetOptions& options)
{
    // The game starts right after this and must never read a truncated record: the new
    // one is complete on disk before it takes the old one's place. A failure is not shown;
    // the game starts all the same.
    if (!WriteRecord(kNetOptionsTempFileName, options) ||
        !MoveFileExA(kNetOptionsTempFileName, kNetOptionsFileName,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        std::remove(kNetOptionsTempFileName);
}

uint32_t HandleField(HWND window)
{
    // Window handles carry 32 significant bits on every Windows, 64-bit ones included.
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}
