#include "wave_reader.h"

#include "wave_content.h"

namespace {

const LONG kFurthestPosition = 0x7FFFFFFF;

// The file's bytes through the multimedia file functions, which take signed 32-bit
// positions and counts.
uint32_t ReadFromFile(void* pContext, uint64_t nOffset, void* pBuffer, uint32_t nLength)
{
    HMMIO file = static_cast<HMMIO>(pContext);
    if (nOffset > static_cast<uint64_t>(kFurthestPosition) || nLength > static_cast<uint32_t>(kFurthestPosition))
        return 0;
    if (mmioSeek(file, static_cast<LONG>(nOffset), SEEK_SET) != static_cast<LONG>(nOffset))
        return 0;
    LONG read = mmioRead(file, static_cast<HPSTR>(pBuffer), static_cast<LONG>(nLength));
    return read < 0 ? 0 : static_cast<uint32_t>(read);
}

}

bool ReadWaveFile(const char* fileName, WaveData& wave)
{
    HMMIO file = mmioOpenA(const_cast<char*>(fileName), nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (!file) {
        MessageBoxA(nullptr, "Error Loading Wave File", nullptr, MB_OK);
        return false;
    }
    LONG end = mmioSeek(file, 0, SEEK_END);
    WaveSource source = {file, end < 0 ? 0u : static_cast<uint64_t>(end), ReadFromFile};
    WaveContent content = {};
    const char* failure = ReadWaveContent(source, &content);
    mmioClose(file, 0);
    if (failure) {
        MessageBoxA(nullptr, failure, nullptr, MB_OK);
        return false;
    }

    wave.format = {};
    wave.format.wf.wFormatTag = WAVE_FORMAT_PCM;
    wave.format.wf.nChannels = content.nChannels;
    wave.format.wf.nSamplesPerSec = content.nSamplesPerSec;
    wave.format.wf.nAvgBytesPerSec = content.nAvgBytesPerSec;
    wave.format.wf.nBlockAlign = content.nBlockAlign;
    wave.format.wBitsPerSample = content.wBitsPerSample;
    wave.samples = std::move(content.samples);
    wave.sampleBytes = content.nSampleBytes;
    return true;
}
