// The discovery datagrams and the answer limit as plain functions: what they write, byte for
// byte, and what they refuse to read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "answer_limit.h"
#include "lan_datagrams.h"
#include "lan_peer.h"

namespace {

Datagram Encoded(const LanAnswer& answer)
{
    unsigned char bytes[LAN_ANSWER_MAX_SIZE] = {};
    size_t size = EncodeLanAnswer(answer, bytes);
    return Datagram(reinterpret_cast<const char*>(bytes), size);
}

bool Decode(const Datagram& bytes, LanAnswer* answer)
{
    return DecodeLanAnswer(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), answer);
}

LanAnswer Answer(uint32_t searchId, int port, int players, int maxPlayers, const char* name)
{
    LanAnswer answer = {};
    answer.dwSearchId = searchId;
    answer.nPort = port;
    answer.nPlayers = players;
    answer.nMaxPlayers = maxPlayers;
    std::strncpy(answer.szName, name, LAN_NAME_MAX);
    return answer;
}

} // namespace

TEST(LanDatagrams, AQueryIsTheHeaderAndPaddingToItsFullSize)
{
    unsigned char query[LAN_QUERY_SIZE];
    std::memset(query, 0xCC, sizeof query);
    EncodeLanQuery(0xA1B2C3D4, query);
    EXPECT_EQ(HexOf(QueryBytes(0xA1B2C3D4)), HexOf(Datagram(reinterpret_cast<const char*>(query), sizeof query)));

    uint32_t searchId = 0;
    EXPECT_TRUE(DecodeLanQuery(query, sizeof query, &searchId));
    EXPECT_EQ(0xA1B2C3D4u, searchId);
    query[100] = 'p';
    EXPECT_TRUE(DecodeLanQuery(query, sizeof query, &searchId)) << "the padding is not read";
}

TEST(LanDatagrams, EveryBadQueryIsRefused)
{
    for (const NamedDatagram& bad : BadQueries()) {
        uint32_t searchId = 7;
        EXPECT_FALSE(DecodeLanQuery(reinterpret_cast<const unsigned char*>(bad.bytes.data()), bad.bytes.size(),
                                    &searchId))
            << bad.name;
        EXPECT_EQ(7u, searchId) << bad.name;
    }
}

TEST(LanDatagrams, AnAnswerIsWrittenFieldByFieldAndReadBack)
{
    struct AnswerCase {
        const char* name;
        LanAnswer answer;
        Datagram bytes;
    };
    const std::string longest(LAN_NAME_MAX, 'N');
    const AnswerCase cases[] = {
        {"a game", Answer(0xA1B2C3D4, 2000, 2, 4, "Cool Quarv Server"),
         AnswerBytes(0xA1B2C3D4, 2000, 2, 4, "Cool Quarv Server")},
        {"lowest values", Answer(0, 1, 0, 1, ""), AnswerBytes(0, 1, 0, 1, "")},
        {"highest values", Answer(0xFFFFFFFF, 36000, 16, 16, longest.c_str()),
         AnswerBytes(0xFFFFFFFF, 36000, 16, 16, longest)},
        {"8-bit letters", Answer(9, 2000, 1, 4, "Caf\xE9 \xC5sa"), AnswerBytes(9, 2000, 1, 4, "Caf\xE9 \xC5sa")},
    };
    for (const AnswerCase& c : cases) {
        Datagram written = Encoded(c.answer);
        EXPECT_EQ(HexOf(c.bytes), HexOf(written)) << c.name;
        EXPECT_LE(written.size(), LAN_QUERY_SIZE) << c.name << ": an answer is never larger than its query";
        LanAnswer read = {};
        ASSERT_TRUE(Decode(c.bytes, &read)) << c.name;
        EXPECT_EQ(c.answer.dwSearchId, read.dwSearchId) << c.name;
        EXPECT_EQ(c.answer.nPort, read.nPort) << c.name;
        EXPECT_EQ(c.answer.nPlayers, read.nPlayers) << c.name;
        EXPECT_EQ(c.answer.nMaxPlayers, read.nMaxPlayers) << c.name;
        EXPECT_STREQ(c.answer.szName, read.szName) << c.name;
    }
}

TEST(LanDatagrams, ANameIsCutToItsFieldAndLosesItsControlCharacters)
{
    LanAnswer answer = Answer(5, 2000, 1, 4, "");
    std::memset(answer.szName, 'x', sizeof answer.szName);  // no NUL at all
    EXPECT_EQ(HexOf(AnswerBytes(5, 2000, 1, 4, std::string(LAN_NAME_MAX, 'x'))), HexOf(Encoded(answer)));

    answer = Answer(5, 2000, 1, 4, "Tab\there\r\n\x7F");
    EXPECT_EQ(HexOf(AnswerBytes(5, 2000, 1, 4, "Tab here   ")), HexOf(Encoded(answer)));
    LanAnswer read = {};
    EXPECT_TRUE(Decode(Encoded(answer), &read)) << "what is written is read";
}

TEST(LanDatagrams, EveryBadAnswerIsRefused)
{
    // Another search's answer is well-formed: only its search id tells it apart.
    for (const NamedDatagram& bad : BadAnswers(77)) {
        LanAnswer read = Answer(1, 2, 1, 4, "untouched");
        bool decoded = Decode(bad.bytes, &read);
        EXPECT_TRUE(!decoded || read.dwSearchId != 77) << bad.name << ": " << HexOf(bad.bytes);
        if (!decoded) {
            EXPECT_STREQ("untouched", read.szName) << bad.name;
        }
    }
}

TEST(AnswerLimit, AFewAnswersASecondForEachAddressAndABoundInAll)
{
    AnswerLimit limit = {};
    const uint32_t start = 0xFFFFFE00;  // the clock wraps around within the test
    int answered = 0;
    for (int i = 0; i < 10; ++i)
        answered += MayAnswer(limit, 0x0100007F, start + i) ? 1 : 0;
    EXPECT_EQ(LAN_ANSWERS_PER_ADDRESS, answered) << "one address within a second";
    EXPECT_TRUE(MayAnswer(limit, 0x0200007F, start + 10)) << "another address is not held back";
    EXPECT_FALSE(MayAnswer(limit, 0x0100007F, start + 999));
    EXPECT_TRUE(MayAnswer(limit, 0x0100007F, start + 1000)) << "the next second, across the wrap";

    answered = 0;
    for (uint32_t address = 1; address <= 100; ++address)
        answered += MayAnswer(limit, address, start + 3000) ? 1 : 0;
    EXPECT_EQ(LAN_ANSWERS_IN_ALL, answered) << "a hundred addresses within a second";
    EXPECT_TRUE(MayAnswer(limit, 0x0100007F, start + 4000));
}
