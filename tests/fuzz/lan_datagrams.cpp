// LAN discovery's two readers, each given the same datagram: anybody on the network can
// send anything to the host's discovery port and to a searching player's socket. The host
// answers only a well-formed query, and never with more bytes than it was sent; the player
// lists only a well-formed answer, each field in its range.
#include "fuzz_check.h"
#include "lan_datagrams.h"

#include <cstdint>
#include <cstring>

namespace {

const unsigned char QUERY_HEADER[8] = {'Q', 'L', 'A', 'N', 1, 0, 1, 0};
const unsigned char ANSWER_HEADER[8] = {'Q', 'L', 'A', 'N', 1, 0, 2, 0};

uint32_t Le32(const uint8_t* p)
{
    return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The host's side: what it accepts as a query, and what its answer to it looks like.
bool ReadAsHost(const uint8_t* data, size_t size)
{
    uint32_t searchId = 0;
    const bool accepted = DecodeLanQuery(data, size, &searchId);
    const bool wellFormed = size == LAN_QUERY_SIZE && std::memcmp(data, QUERY_HEADER, sizeof QUERY_HEADER) == 0;
    FUZZ_CHECK(accepted == wellFormed);
    if (!accepted)
        return false;
    FUZZ_CHECK(searchId == Le32(data + 8));

    // The fullest answer a host can give: a forged query gains its sender nothing.
    LanAnswer answer = {};
    answer.dwSearchId = searchId;
    answer.nPort = LAN_MAX_PORT;
    answer.nPlayers = LAN_MAX_PLAYERS;
    answer.nMaxPlayers = LAN_MAX_PLAYERS;
    std::memset(answer.szName, 'n', LAN_NAME_MAX);
    unsigned char written[LAN_ANSWER_MAX_SIZE] = {};
    const size_t length = EncodeLanAnswer(answer, written);
    FUZZ_CHECK(length <= size);
    LanAnswer read = {};
    FUZZ_CHECK(DecodeLanAnswer(written, length, &read));
    FUZZ_CHECK(read.dwSearchId == searchId);
    return true;
}

// The player's side: an accepted answer holds every field in its range, and is the one way
// of writing what it says, so nothing outside the fields was let through.
bool ReadAsPlayer(const uint8_t* data, size_t size)
{
    LanAnswer answer = {};
    std::memset(&answer, 0xA5, sizeof answer);
    if (!DecodeLanAnswer(data, size, &answer))
        return false;
    FUZZ_CHECK(size > LAN_ANSWER_HEADER_SIZE && size <= LAN_ANSWER_MAX_SIZE);
    FUZZ_CHECK(std::memcmp(data, ANSWER_HEADER, sizeof ANSWER_HEADER) == 0);
    FUZZ_CHECK(answer.nPort >= LAN_MIN_PORT && answer.nPort <= LAN_MAX_PORT);
    FUZZ_CHECK(answer.nMaxPlayers >= 1 && answer.nMaxPlayers <= LAN_MAX_PLAYERS);
    FUZZ_CHECK(answer.nPlayers >= 0 && answer.nPlayers <= answer.nMaxPlayers);
    const size_t nameLength = strnlen(answer.szName, sizeof answer.szName);
    FUZZ_CHECK(nameLength <= static_cast<size_t>(LAN_NAME_MAX));
    for (size_t i = 0; i < nameLength; ++i) {
        unsigned char c = static_cast<unsigned char>(answer.szName[i]);
        FUZZ_CHECK(c >= 0x20 && c != 0x7F);
    }

    unsigned char written[LAN_ANSWER_MAX_SIZE] = {};
    const size_t length = EncodeLanAnswer(answer, written);
    FUZZ_CHECK(length == size);
    FUZZ_CHECK(std::memcmp(written, data, size) == 0);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool query = ReadAsHost(data, size);
    const bool answer = ReadAsPlayer(data, size);
    // The kinds differ in their header: no datagram is both.
    FUZZ_CHECK(!(query && answer));
    return 0;
}
