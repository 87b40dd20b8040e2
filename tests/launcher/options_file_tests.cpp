// The options record's layout and the read-back that decides which program START runs.
#include <gtest/gtest.h>

#include <ostream>

#include <cstddef>
#include <cstring>
#include <vector>

#include "options_file.h"
#include "options_record.h"
#include "test_support.h"

TEST(GameOptionsRecord, FieldsSitWhereTheGameReadsThem)
{
    struct Row {
        const char* field;
        size_t offset;
        size_t expected;
    };
    const Row rows[] = {
        {"dwSize", offsetof(GameOptions, dwSize), 32},
        {"bSoundOn", offsetof(GameOptions, bSoundOn), 36},
        {"lMusicVolume", offsetof(GameOptions, lMusicVolume), 40},
        {"lSoundVolume", offsetof(GameOptions, lSoundVolume), 44},
        {"bFullScreen", offsetof(GameOptions, bFullScreen), 48},
        {"dwResolution", offsetof(GameOptions, dwResolution), 52},
        {"bSinglePlayer", offsetof(GameOptions, bSinglePlayer), 56},
        {"dwDetail", offsetof(GameOptions, dwDetail), 60},
        {"dwParticles", offsetof(GameOptions, dwParticles), 64},
        {"bMipmapping", offsetof(GameOptions, bMipmapping), 68},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, row.offset) << row.field;
    EXPECT_EQ(164u, sizeof(GameOptions));

    // The same bytes the test builds from the file format read back as the same fields.
    const OptionsFields fields = {164, 1, -3000, -1200, 0, 1, 0, 1, 2, 1};
    std::vector<unsigned char> bytes = RecordBytes(fields);
    GameOptions options = {};
    std::memcpy(&options, bytes.data(), sizeof options);
    EXPECT_EQ(-3000, options.lMusicVolume);
    EXPECT_EQ(-1200, options.lSoundVolume);
    EXPECT_EQ(2u, options.dwParticles);
    EXPECT_EQ(1u, options.bMipmapping);
}

namespace {

struct FileOnDisk {
    const char* name;
    OptionsFields fields;
    size_t size;
};

struct ReadBackCase {
    const char* name;
    std::vector<FileOnDisk> files;
    bool untouched;           // the caller's record stays as passed
    OptionsFields expected;   // otherwise
};
void PrintTo(const ReadBackCase& c, std::ostream* out) { *out << c.name; }

const OptionsFields kStored = {164, 0, -3000, -1200, 0, 1, 0, 1, 2, 1};
const OptionsFields kFallback = {164, 1, -100, -200, 1, 0, 1, 0, 1, 0};

const ReadBackCase kReadBackCases[] = {
    {"OptionsFile", {{"options.bin", kStored, 164}, {"defoptios.bin", kFallback, 164}}, false, kStored},
    {"FallbackWhenThereIsNoOptionsFile", {{"defoptios.bin", kFallback, 164}}, false, kFallback},
    {"FallbackWhenTheOptionsFileIsShort", {{"options.bin", kStored, 163}, {"defoptios.bin", kFallback, 164}},
     false, kFallback},
    {"NothingWhenOnlyTheDialogsDefaultExists", {{"defoptions.bin", kFallback, 164}}, true, {}},
    {"NothingWhenBothFilesAreShort", {{"options.bin", kStored, 40}, {"defoptios.bin", kFallback, 0}}, true, {}},
    {"NothingWithoutFiles", {}, true, {}},
};

class ReadOptionsFileTest : public ::testing::TestWithParam<ReadBackCase> {};

} // namespace

TEST_P(ReadOptionsFileTest, ReadsTheOptionsFileOrItsFallback)
{
    const ReadBackCase& c = GetParam();
    TempFolder folder;
    for (const FileOnDisk& file : c.files) {
        std::vector<unsigned char> bytes = RecordBytes(file.fields);
        WriteFileBytes(folder.File(file.name), bytes.data(), file.size);
    }

    GameOptions options;
    std::memset(&options, 0x5A, sizeof options);
    ReadOptionsFile(&options);

    std::vector<unsigned char> got(sizeof options);
    std::memcpy(got.data(), &options, sizeof options);
    if (c.untouched)
        EXPECT_EQ(std::vector<unsigned char>(sizeof options, 0x5A), got);
    else
        EXPECT_EQ(RecordBytes(c.expected), got) << Describe(FieldsOf(got));
}

INSTANTIATE_TEST_SUITE_P(Launcher, ReadOptionsFileTest, ::testing::ValuesIn(kReadBackCases),
                         [](const ::testing::TestParamInfo<ReadBackCase>& info) { return info.param.name; });
