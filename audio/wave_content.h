#pragma once
// The walk through a wave file's RIFF chunks to its format and samples. No system header:
// the same code runs in the launcher, over the multimedia file functions, and natively
// under the fuzzer, over bytes in memory.
#include <cstdint>
#include <memory>

// A wave file's bytes, read by position.
struct WaveSource {
    void* pContext;
    uint64_t nSize;  // the bytes the file holds
    // Copies up to nLength bytes from nOffset into pBuffer and returns how many it copied:
    // fewer at the end of the file, or when the file cannot be read.
    uint32_t (*ReadAt)(void* pContext, uint64_t nOffset, void* pBuffer, uint32_t nLength);
};

struct WaveContent {
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;  // as the file says, not recomputed
    uint16_t nBlockAlign;      // as the file says, not recomputed
    uint16_t wBitsPerSample;
    std::unique_ptr<uint8_t[]> samples;
    uint32_t nSampleBytes;
};

// Finds the RIFF form "WAVE", takes its first sub-chunk as the PCM format (18 bytes, read
// on past a shorter chunk), searches the rest for the "data" chunk and reads its samples.
// Returns null on success, or the message for the first check that failed:
// "Error Loading wave file header", "Error Loading Wave file header",
// "Error reading Wave Format", "Not a valid Wave Format", "Unable to Ascend",
// "Wave file has no data", "Could not read Wave Data". On failure nothing is held.
const char* ReadWaveContent(const WaveSource& source, WaveContent* content);
