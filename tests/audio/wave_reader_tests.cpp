// The wave reader against small files written byte by byte, one row per kind of file.
#include "wave_reader.h"

#include "message_box_watcher.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>

// The largest block asked of the allocator the reader uses, while a test watches.
static size_t g_largestNothrowBlock = 0;

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    if (size > g_largestNothrowBlock)
        g_largestNothrowBlock = size;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

std::string U16(uint16_t v)
{
    return std::string{char(v & 0xFF), char(v >> 8)};
}

std::string U32(uint32_t v)
{
    return U16(uint16_t(v & 0xFFFF)) + U16(uint16_t(v >> 16));
}

// A chunk with its pad byte; 'claimedSize' writes a size field other than the body's.
std::string Chunk(const char* id, const std::string& body, int64_t claimedSize = -1)
{
    uint32_t size = claimedSize < 0 ? uint32_t(body.size()) : uint32_t(claimedSize);
    std::string chunk = std::string(id, 4) + U32(size) + body;
    if (body.size() % 2)
        chunk += '\0';
    return chunk;
}

std::string Riff(const std::string& formType, const std::string& chunks)
{
    return Chunk("RIFF", formType + chunks);
}

std::string Format(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avgBytes, uint16_t align,
                   uint16_t bits)
{
    return U16(tag) + U16(channels) + U32(rate) + U32(avgBytes) + U16(align) + U16(bits);
}

// Average bytes and alignment on purpose not what the other fields would give: the
// reader passes on what the file says.
const std::string kPcmFormat = Format(1, 2, 22050, 12345, 3, 16);
const std::string kSamples = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a";

struct WaveCase {
    const char* name;
    std::string bytes;  // empty: the file does not exist
    const char* message;  // nullptr: the read succeeds
    std::string samples;
};

std::vector<WaveCase> Cases()
{
    const std::string fmt = Chunk("fmt ", kPcmFormat);
    const std::string data = Chunk("data", kSamples);
    return {
        {"canonical PCM", Riff("WAVE", fmt + data), nullptr, kSamples},
        {"18-byte format chunk", Riff("WAVE", Chunk("fmt ", kPcmFormat + U16(0)) + data), nullptr, kSamples},
        {"fact and LIST chunks between fmt and data",
         Riff("WAVE", fmt + Chunk("fact", U32(5)) + Chunk("LIST", "INFOISFT" + U32(3) + "ab\0") + data), nullptr,
         kSamples},
        {"odd-sized chunk before data", Riff("WAVE", fmt + Chunk("junk", "xyz") + data), nullptr, kSamples},
        {"zero-length data chunk", Riff("WAVE", fmt + Chunk("data", "")), nullptr, ""},
        {"RIFF size left unknown (2^32 - 1), as a writer to a stream leaves it",
         Chunk("RIFF", "WAVE" + fmt + data, 0xFFFFFFFF), nullptr, kSamples},
        {"missing file", "", "Error Loading Wave File", ""},
        {"not RIFF at all", "This is a text file, not a sound.\r\n", "Error Loading wave file header", ""},
        {"RIFF of another form type", Riff("AVI ", fmt + data), "Error Loading wave file header", ""},
        {"nothing after the form type", Riff("WAVE", ""), "Error Loading Wave file header", ""},
        {"LIST chunk before fmt", Riff("WAVE", Chunk("LIST", "INFOISFT" + U32(2) + "ab") + fmt + data),
         "Not a valid Wave Format", ""},
        {"file ends inside the format", Riff("WAVE", Chunk("fmt ", kPcmFormat.substr(0, 10), 16)),
         "Error reading Wave Format", ""},
        {"16-byte format chunk and nothing after it", Riff("WAVE", fmt), "Error reading Wave Format", ""},
        {"format chunk that ends beyond the furthest position a file can have",
         Riff("WAVE", Chunk("fmt ", kPcmFormat, 0x80000000) + data), "Unable to Ascend", ""},
        {"IEEE float format", Riff("WAVE", Chunk("fmt ", Format(3, 2, 22050, 176400, 8, 32)) + data),
         "Not a valid Wave Format", ""},
        {"no data chunk", Riff("WAVE", fmt + Chunk("LIST", "INFO")), "Wave file has no data", ""},
        {"data cut short", Riff("WAVE", fmt + Chunk("data", kSamples, 100)), "Could not read Wave Data", ""},
        {"data size larger than the file by 256 MB", Riff("WAVE", fmt + Chunk("data", kSamples, 0x10000000)),
         "Could not read Wave Data", ""},
        {"data size of 4 GB", Riff("WAVE", fmt + Chunk("data", kSamples, 0xFFFFFFF0)), "Could not read Wave Data",
         ""},
        // 8 bytes of header and a padded size of 2^32 - 8 lead a 32-bit search back to where it started.
        {"chunk size that leads the search for data back to itself",
         Riff("WAVE", fmt + Chunk("junk", "", 0xFFFFFFF8) + data), "Wave file has no data", ""},
    };
}

TEST(WaveReader, EachKindOfFileGivesItsResultOrItsMessage)
{
    TempFolder folder;
    int number = 0;
    for (const WaveCase& row : Cases()) {
        SCOPED_TRACE(row.name);
        const std::string name = "sound" + std::to_string(++number) + ".wav";
        const std::string path = folder.File(name);
        if (!row.bytes.empty())
            WriteFileBytes(path, row.bytes.data(), row.bytes.size());

        MessageBoxWatcher watcher;
        WaveData wave = {};
        g_largestNothrowBlock = 0;
        bool read = ReadWaveFile(name.c_str(), wave);

        std::vector<SeenMessageBox> boxes = watcher.Seen();
        if (row.message) {
            EXPECT_FALSE(read);
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, row.message);
            EXPECT_EQ(boxes[0].caption, "Error") << "the system's default caption";
            EXPECT_EQ(boxes[0].owner, nullptr);
            EXPECT_FALSE(boxes[0].hasYes || boxes[0].hasNo);
            EXPECT_EQ(wave.samples, nullptr);
        } else {
            EXPECT_TRUE(read);
            EXPECT_TRUE(boxes.empty()) << boxes[0].text;
            EXPECT_EQ(wave.format.wf.wFormatTag, 1);
            EXPECT_EQ(wave.format.wf.nChannels, 2);
            EXPECT_EQ(wave.format.wf.nSamplesPerSec, 22050u);
            EXPECT_EQ(wave.format.wf.nAvgBytesPerSec, 12345u);
            EXPECT_EQ(wave.format.wf.nBlockAlign, 3);
            EXPECT_EQ(wave.format.wBitsPerSample, 16);
            ASSERT_EQ(wave.sampleBytes, row.samples.size());
            ASSERT_NE(wave.samples, nullptr);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(wave.samples.get()), wave.sampleBytes), row.samples);
        }
        EXPECT_LT(g_largestNothrowBlock, 1024u * 1024u) << "no block of the size a damaged header claims";
        // The reader must have closed the file: an open one cannot be deleted.
        if (!row.bytes.empty()) {
            EXPECT_TRUE(DeleteFileA(path.c_str())) << "the file is still open";
        }
    }
}

}
