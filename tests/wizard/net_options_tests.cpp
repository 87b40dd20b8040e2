// "netoptions.bin" as the game reads it: every field at its offset, exactly 1332 bytes,
// and never a part of a record.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "net_options.h"
#include "test_support.h"

namespace {

const size_t RECORD_SIZE = 1332;

std::vector<unsigned char> Int32Bytes(uint32_t value)
{
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

std::vector<unsigned char> TextField(const std::string& text)
{
    std::vector<unsigned char> field(256, 0);
    std::memcpy(field.data(), text.c_str(), text.size());
    return field;
}

NetOptions SampleRecord()
{
    NetOptions options = {};
    options.bHost = 1;
    std::strcpy(options.szPlayerName, "Ann");
    std::strcpy(options.szServerAddress, "quarv.example.net");
    options.nServerPort = 2000;
    std::strcpy(options.szClientError, "client error");
    options.hClientLobbyPage = 0x00010203;
    options.bPublishServer = 1;
    std::strcpy(options.szServerName, "Cool Quarv Server");
    options.nHostPort = 36000;
    std::strcpy(options.szServerError, "server error");
    options.hServerLobbyPage = 0x04050607;
    options.nPlayers = 4;
    options.bRoleChosen = 1;
    options.nConnectMethod = 3;
    options.nPlayerId = 2;
    return options;
}

class NetOptionsFileTest : public ::testing::Test {
protected:
    TempFolder folder_;
};

} // namespace

TEST_F(NetOptionsFileTest, EveryFieldLandsAtItsOffset)
{
    SaveNetOptions(SampleRecord());
    std::vector<unsigned char> bytes = ReadFileBytes(folder_.File("netoptions.bin"));
    ASSERT_EQ(RECORD_SIZE, bytes.size());

    struct Field {
        const char* name;
        size_t offset;
        std::vector<unsigned char> expected;
    };
    const Field fields[] = {
        {"dwReserved0", 0, Int32Bytes(0)},
        {"bHost", 4, Int32Bytes(1)},
        {"szPlayerName", 8, TextField("Ann")},
        {"szServerAddress", 264, TextField("quarv.example.net")},
        {"dwReserved1", 520, Int32Bytes(0)},
        {"nServerPort", 524, Int32Bytes(2000)},
        {"szClientError", 528, TextField("client error")},
        {"hClientLobbyPage", 784, Int32Bytes(0x00010203)},
        {"bPublishServer", 788, Int32Bytes(1)},
        {"dwReserved2", 792, Int32Bytes(0)},
        {"szServerName", 796, TextField("Cool Quarv Server")},
        {"nHostPort", 1052, Int32Bytes(36000)},
        {"szServerError", 1056, TextField("server error")},
        {"hServerLobbyPage", 1312, Int32Bytes(0x04050607)},
        {"nPlayers", 1316, Int32Bytes(4)},
        {"bRoleChosen", 1320, Int32Bytes(1)},
        {"nConnectMethod", 1324, Int32Bytes(3)},
        {"nPlayerId", 1328, Int32Bytes(2)},
    };
    for (const Field& field : fields) {
        std::vector<unsigned char> actual(bytes.begin() + field.offset,
                                          bytes.begin() + field.offset + field.expected.size());
        EXPECT_EQ(field.expected, actual) << field.name << " at " << field.offset;
    }
    EXPECT_FALSE(FileExists(folder_.File("netoptions.bin.tmp")));
}

TEST_F(NetOptionsFileTest, ALongerFileIsReplacedByExactlyOneRecord)
{
    std::vector<unsigned char> old(5000, 0xAB);
    WriteFileBytes(folder_.File("netoptions.bin"), old.data(), old.size());
    NetOptions options = {};
    options.nPlayerId = 3;
    SaveNetOptions(options);
    std::vector<unsigned char> bytes = ReadFileBytes(folder_.File("netoptions.bin"));
    ASSERT_EQ(RECORD_SIZE, bytes.size());
    EXPECT_EQ(Int32Bytes(3), std::vector<unsigned char>(bytes.begin() + 1328, bytes.end()));
}

TEST_F(NetOptionsFileTest, AFailedWriteLeavesThePreviousFileAsItWas)
{
    std::vector<unsigned char> old(RECORD_SIZE, 0x5A);
    WriteFileBytes(folder_.File("netoptions.bin"), old.data(), old.size());
    // The new record cannot be written where it is prepared.
    ASSERT_TRUE(CreateDirectoryA(folder_.File("netoptions.bin.tmp").c_str(), nullptr));
    SaveNetOptions(SampleRecord());
    EXPECT_EQ(old, ReadFileBytes(folder_.File("netoptions.bin")));
}

TEST_F(NetOptionsFileTest, AFailedWriteWithNoEarlierFileLeavesNone)
{
    ASSERT_TRUE(CreateDirectoryA(folder_.File("netoptions.bin.tmp").c_str(), nullptr));
    SaveNetOptions(SampleRecord());
    EXPECT_FALSE(FileExists(folder_.File("netoptions.bin")));
}
