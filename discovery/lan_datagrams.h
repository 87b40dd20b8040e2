#pragma once
// The bytes of LAN discovery. A player's wizard sends a query to every machine on its
// network; each wizard that hosts a game answers it with one datagram. Both layouts start
// with the same header; integers are little-endian.
//
// Query, always LAN_QUERY_SIZE bytes:
//   0  4  magic "QLAN"
//   4  2  version (1)
//   6  2  kind (1: query)
//   8  4  search id, chosen by the player's wizard for each search
//  12 116 padding, ignored: an answer is never longer than the query that asked for it
//
// Answer, LAN_ANSWER_HEADER_SIZE + n + 1 bytes (at most LAN_ANSWER_MAX_SIZE):
//   0  4  magic "QLAN"
//   4  2  version (1)
//   6  2  kind (2: answer)
//   8  4  the query's search id
//  12  4  lobby port, 1 to 36000
//  16  4  players in the lobby, host included, 0 to the maximum
//  20  4  maximum players, 1 to LAN_MAX_PLAYERS
//  24  4  n, the length of the server name, 0 to LAN_NAME_MAX
//  28  n  the server name in the game's 8-bit code page, no control characters
//  28+n 1 NUL
//
// These functions only read and write bytes, so that they build anywhere, test programs and
// fuzzers included.
#include <cstddef>
#include <cstdint>

const size_t LAN_QUERY_SIZE = 128;
const size_t LAN_ANSWER_HEADER_SIZE = 28;
const int LAN_NAME_MAX = 79;  // as many characters as the Internet directory's record keeps
const size_t LAN_ANSWER_MAX_SIZE = LAN_ANSWER_HEADER_SIZE + LAN_NAME_MAX + 1;
static_assert(LAN_ANSWER_MAX_SIZE <= LAN_QUERY_SIZE, "an answer must never be larger than its query");

const int LAN_MIN_PORT = 1;
const int LAN_MAX_PORT = 36000;
// The lobby's chat types leave room for sixteen players.
const int LAN_MAX_PLAYERS = 16;

struct LanAnswer {
    uint32_t dwSearchId;
    int nPort;
    int nPlayers;
    int nMaxPlayers;
    char szName[LAN_NAME_MAX + 1];
};

void EncodeLanQuery(uint32_t dwSearchId, unsigned char query[LAN_QUERY_SIZE]);
// True for a well-formed query of this version; *pdwSearchId receives its search id.
bool DecodeLanQuery(const unsigned char* data, size_t length, uint32_t* pdwSearchId);

// Writes the answer and returns its length. A name is cut to LAN_NAME_MAX characters and its
// control characters become spaces, so that every answer written here decodes.
size_t EncodeLanAnswer(const LanAnswer& answer, unsigned char out[LAN_ANSWER_MAX_SIZE]);
// True for a well-formed answer of this version with every field in its range; anything
// else, however short, long or strange, is refused without reading outside the bytes.
bool DecodeLanAnswer(const unsigned char* data, size_t length, LanAnswer* answer);
