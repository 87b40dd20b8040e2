#pragma once
// Reads an uncompressed wave file for the sound-effect loader.
#include <windows.h>
#include <mmsystem.h>

#include <memory>

struct WaveData {
    PCMWAVEFORMAT format;
    std::unique_ptr<BYTE[]> samples;
    DWORD sampleBytes;
};

// On failure the user has been told why in a message box, the file is closed and
// nothing is held.
bool ReadWaveFile(const char* fileName, WaveData& wave);
