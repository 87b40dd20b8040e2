// The launcher's walk through a wave file: the RIFF form, the format chunk, the search for
// the samples and their size against the bytes the file holds, over a file of any content.
#include "fuzz_check.h"
#include "wave_content.h"

#include <cstdint>
#include <cstring>

namespace {

struct MemoryFile {
    const uint8_t* pBytes;
    size_t nSize;
    size_t nReads;
};

uint32_t ReadFromMemory(void* pContext, uint64_t nOffset, void* pBuffer, uint32_t nLength)
{
    MemoryFile* file = static_cast<MemoryFile*>(pContext);
    ++file->nReads;
    if (nOffset >= file->nSize)
        return 0;
    size_t left = file->nSize - static_cast<size_t>(nOffset);
    size_t count = nLength < left ? nLength : left;
    std::memcpy(pBuffer, file->pBytes + nOffset, count);
    return static_cast<uint32_t>(count);
}

const char* const kMessages[] = {
    "Error Loading wave file header", "Error Loading Wave file header", "Error reading Wave Format",
    "Not a valid Wave Format",        "Unable to Ascend",               "Wave file has no data",
    "Could not read Wave Data",
};

bool IsKnownMessage(const char* text)
{
    for (const char* message : kMessages)
        if (std::strcmp(text, message) == 0)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile file = {data, size, 0};
    WaveSource source = {&file, size, ReadFromMemory};
    WaveContent content = {};
    const char* failure = ReadWaveContent(source, &content);
    // Each chunk header read moves a search at least 8 bytes on: no search goes back, and
    // the two searches cover the file at most once between them.
    FUZZ_CHECK(file.nReads <= size / 8 + 8);
    if (failure) {
        FUZZ_CHECK(IsKnownMessage(failure));
        FUZZ_CHECK(content.samples == nullptr);
        return 0;
    }
    FUZZ_CHECK(content.samples != nullptr);
    // Samples start after the RIFF header and two chunk headers at the least.
    FUZZ_CHECK(static_cast<size_t>(content.nSampleBytes) + 28 <= size);
    return 0;
}
