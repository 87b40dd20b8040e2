#include "wave_reader.h"

#include <new>

namespace {

const WORD kPcmTag = 1;
// The format chunk is read as a WAVEFORMATEX, extra-size field included.
const LONG kFormatBytes = 18;
static_assert(sizeof(WAVEFORMATEX) == kFormatBytes, "the format is read in one piece");
static_assert(sizeof(PCMWAVEFORMAT) == 16, "the PCM record is the format without its extra size");

bool Fail(HMMIO file, const char* message)
{
    if (file)
        mmioClose(file, 0);
    MessageBoxA(nullptr, message, nullptr, MB_OK);
    return false;
}

// The bytes the file really holds from the current position on.
LONG BytesLeft(HMMIO file, LONG position)
{
    LONG end = mmioSeek(file, 0, SEEK_END);
    mmioSeek(file, position, SEEK_SET);
    return end < position ? 0 : end - position;
}

}

bool ReadWaveFile(const char* fileName, WaveData& wave)
{
    HMMIO file = mmioOpenA(const_cast<char*>(fileName), nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (!file)
        return Fail(nullptr, "Error Loading Wave File");

    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != 0)
        return Fail(file, "Error Loading wave file header");

    // Flags 0 enter whichever sub-chunk comes first: a file that does not start with
    // its format chunk is then refused by the format check below.
    MMCKINFO chunk = {};
    chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &chunk, &riff, 0) != 0)
        return Fail(file, "Error Loading Wave file header");

    WAVEFORMATEX format = {};
    if (mmioRead(file, reinterpret_cast<HPSTR>(&format), kFormatBytes) < kFormatBytes)
        return Fail(file, "Error reading Wave Format");
    if (format.wFormatTag != kPcmTag)
        return Fail(file, "Not a valid Wave Format");

    if (mmioAscend(file, &chunk, 0) != 0)
        return Fail(file, "Unable to Ascend");

    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != 0)
        return Fail(file, "Wave file has no data");

    // The size field is checked against the file before anything is allocated, so a
    // damaged header cannot make us ask for gigabytes.
    if (chunk.cksize > static_cast<DWORD>(BytesLeft(file, static_cast<LONG>(chunk.dwDataOffset))))
        return Fail(file, "Could not read Wave Data");
    std::unique_ptr<BYTE[]> samples(new (std::nothrow) BYTE[chunk.cksize]);
    if (!samples)
        return Fail(file, "Could not read Wave Data");
    LONG read = mmioRead(file, reinterpret_cast<HPSTR>(samples.get()), static_cast<LONG>(chunk.cksize));
    if (read < 0 || static_cast<DWORD>(read) != chunk.cksize)
        return Fail(file, "Could not read Wave Data");

    mmioClose(file, 0);

    wave.format = {};
    wave.format.wf.wFormatTag = WAVE_FORMAT_PCM;
    wave.format.wf.nChannels = format.nChannels;
    wave.format.wf.nSamplesPerSec = format.nSamplesPerSec;
    wave.format.wf.nAvgBytesPerSec = format.nAvgBytesPerSec;
    wave.format.wf.nBlockAlign = format.nBlockAlign;
    wave.format.wBitsPerSample = format.wBitsPerSample;
    wave.samples = std::move(samples);
    wave.sampleBytes = chunk.cksize;
    return true;
}
