#include "wave_content.h"

#include <cstring>
#include <new>

namespace {

// The multimedia file functions address a file with signed 32-bit positions: a chunk that
// ends beyond this cannot be left.
const uint64_t kFurthestPosition = 0x7FFFFFFF;
const uint32_t kFormatBytes = 18;  // the format is read as a WAVEFORMATEX, extra size included
const uint16_t kPcmTag = 1;

uint16_t GetUint16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t GetUint32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

struct Chunk {
    uint8_t id[4];
    uint32_t size;
    uint8_t formType[4];
    bool hasFormType;
    uint64_t dataOffset;  // where the chunk's contents start, right after its size
};

bool IsCode(const uint8_t* code, const char* text)
{
    return std::memcmp(code, text, 4) == 0;
}

// The header at a position: identifier and size, and the form type that follows them in a
// RIFF or LIST chunk. False when fewer than 8 bytes are left.
bool ReadChunkHeader(const WaveSource& source, uint64_t position, Chunk* chunk)
{
    uint8_t header[12] = {};
    uint32_t got = source.ReadAt(source.pContext, position, header, sizeof header);
    if (got < 8)
        return false;
    std::memcpy(chunk->id, header, 4);
    chunk->size = GetUint32(header + 4);
    std::memcpy(chunk->formType, header + 8, 4);
    chunk->hasFormType = got == sizeof header;
    chunk->dataOffset = position + 8;
    return true;
}

// Positions are 64-bit, so that no size field can lead a search back to where it was.
uint64_t ChunkEnd(const Chunk& chunk)
{
    return chunk.dataOffset + chunk.size + (chunk.size & 1);
}

// A RIFF or LIST chunk's contents are read from after its form type.
uint64_t ReadStart(const Chunk& chunk)
{
    return chunk.dataOffset + (IsCode(chunk.id, "RIFF") || IsCode(chunk.id, "LIST") ? 4 : 0);
}

bool IsInside(const Chunk& parent, uint64_t position)
{
    return position >= parent.dataOffset && position < parent.dataOffset + parent.size;
}

// Searches chunk after chunk from a position to the end of the file; a form type, when
// given, must match too.
bool FindChunk(const WaveSource& source, uint64_t position, const char* id, const char* formType, Chunk* chunk)
{
    while (ReadChunkHeader(source, position, chunk)) {
        if (IsCode(chunk->id, id) && (!formType || (chunk->hasFormType && IsCode(chunk->formType, formType))))
            return true;
        position = ChunkEnd(*chunk);
    }
    return false;
}

}  // namespace

const char* ReadWaveContent(const WaveSource& source, WaveContent* content)
{
    Chunk riff = {};
    if (!FindChunk(source, 0, "RIFF", "WAVE", &riff))
        return "Error Loading wave file header";

    // Whichever sub-chunk comes first is taken as the format: a file that does not start
    // with its format chunk is then refused by the format check below.
    uint64_t position = ReadStart(riff);
    Chunk format = {};
    if (!IsInside(riff, position) || !ReadChunkHeader(source, position, &format))
        return "Error Loading Wave file header";

    uint8_t formatBytes[kFormatBytes] = {};
    if (source.ReadAt(source.pContext, ReadStart(format), formatBytes, kFormatBytes) < kFormatBytes)
        return "Error reading Wave Format";
    if (GetUint16(formatBytes) != kPcmTag)
        return "Not a valid Wave Format";

    position = ChunkEnd(format);
    if (position > kFurthestPosition)
        return "Unable to Ascend";

    Chunk data = {};
    if (!IsInside(riff, position) || !FindChunk(source, position, "data", nullptr, &data))
        return "Wave file has no data";

    // The size field is checked against the file before anything is allocated, so a
    // damaged header cannot make us ask for gigabytes.
    uint64_t left = data.dataOffset < source.nSize ? source.nSize - data.dataOffset : 0;
    if (data.size > left)
        return "Could not read Wave Data";
    std::unique_ptr<uint8_t[]> samples(new (std::nothrow) uint8_t[data.size]);
    if (!samples || source.ReadAt(source.pContext, data.dataOffset, samples.get(), data.size) != data.size)
        return "Could not read Wave Data";

    content->nChannels = GetUint16(formatBytes + 2);
    content->nSamplesPerSec = GetUint32(formatBytes + 4);
    content->nAvgBytesPerSec = GetUint32(formatBytes + 8);
    content->nBlockAlign = GetUint16(formatBytes + 12);
    content->wBitsPerSample = GetUint16(formatBytes + 14);
    content->samples = std::move(samples);
    content->nSampleBytes = data.size;
    return nullptr;
}
