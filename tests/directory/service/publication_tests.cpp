// What the service takes as a publication body, as a table of bodies written byte by byte.
#include "publication.h"
#include "test_peers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string WithByte(std::string bytes, size_t offset, char value)
{
    bytes[offset] = value;
    return bytes;
}

TEST(Publication, TakesGoodEntriesAndRefusesTheRestWithAReason)
{
    const std::string good = EntryBytes("Ann's server", 2300);
    struct BodyCase {
        const char* name;
        std::string body;
        const char* refusal;  // part of the reason, or null for a good body
    };
    const BodyCase cases[] = {
        {"good", good, nullptr},
        {"address of its own", EntryBytes("Ann's server", 2300, "6.6.6.6"), nullptr},
        {"lowest port", EntryBytes("x", 1), nullptr},
        {"highest port", EntryBytes("x", 36000), nullptr},
        {"79-character name", EntryBytes(std::string(79, 'n'), 2300), nullptr},
        {"Latin-1 name", EntryBytes("Caf\xE9", 2300), nullptr},
        {"empty", "", "0 bytes"},
        {"short", good.substr(0, 263), "263 bytes"},
        {"long", good + "x", "265 bytes"},
        {"port 0", EntryBytes("x", 0), "outside 1 to 36000"},
        {"port 36001", EntryBytes("x", 36001), "outside 1 to 36000"},
        {"negative port", EntryBytes("x", -80), "outside 1 to 36000"},
        {"empty name", EntryBytes("", 2300), "empty"},
        {"name with a line feed", EntryBytes("Ann\nserver", 2300), "control character"},
        {"name with an escape", EntryBytes("\x1B[31mred", 2300), "control character"},
        {"name with DEL", WithByte(good, 82, '\x7F'), "control character"},
        {"name filling its field", EntryBytes(std::string(80, 'n'), 2300), "no end"},
    };
    for (const BodyCase& c : cases) {
        ServerEntry entry = {};
        std::string reason;
        bool taken = ParsePublication(reinterpret_cast<const unsigned char*>(c.body.data()), c.body.size(), &entry,
                                      &reason);
        if (c.refusal == nullptr) {
            EXPECT_TRUE(taken) << c.name << ": " << reason;
        } else {
            EXPECT_FALSE(taken) << c.name;
            EXPECT_NE(reason.find(c.refusal), std::string::npos) << c.name << ": " << reason;
        }
    }
}

TEST(Publication, KeepsTheFieldsAndClearsTheAddressAndUnsetBytes)
{
    std::string body = EntryBytes("Ann's server", 2300, "6.6.6.6");
    body.replace(168, 3, "abc");                        // bytes nobody sets
    body.replace(80 + 13, 5, std::string("junk!", 5));  // after the name's NUL
    ServerEntry entry = {};
    std::string reason;
    ASSERT_TRUE(ParsePublication(reinterpret_cast<const unsigned char*>(body.data()), body.size(), &entry, &reason));
    EXPECT_EQ(EntryText(entry.szAddress), "");
    EXPECT_EQ(std::string(entry.szName, 80), "Ann's server" + std::string(68, '\0'));
    EXPECT_EQ(entry.nField160, 1);
    EXPECT_EQ(entry.nField164, 1);
    EXPECT_EQ(entry.nField252, 1);
    EXPECT_EQ(entry.nMaxPlayers, 4);
    EXPECT_EQ(entry.nPort, 2300);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.abUnset), 84), std::string(84, '\0'));
}

}  // namespace
