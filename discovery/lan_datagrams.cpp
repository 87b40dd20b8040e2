#include "lan_datagrams.h"

#include <cstring>

namespace {

const unsigned char MAGIC[4] = {'Q', 'L', 'A', 'N'};
const unsigned VERSION = 1;
const unsigned KIND_QUERY = 1;
const unsigned KIND_ANSWER = 2;

const size_t OFFSET_VERSION = 4;
const size_t OFFSET_KIND = 6;
const size_t OFFSET_SEARCH_ID = 8;
const size_t OFFSET_PORT = 12;
const size_t OFFSET_PLAYERS = 16;
const size_t OFFSET_MAX_PLAYERS = 20;
const size_t OFFSET_NAME_LENGTH = 24;
const size_t OFFSET_NAME = LAN_ANSWER_HEADER_SIZE;

void PutUint16(unsigned char* p, unsigned value)
{
    p[0] = static_cast<unsigned char>(value & 0xFF);
    p[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void PutUint32(unsigned char* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

unsigned GetUint16(const unsigned char* p)
{
    return p[0] | static_cast<unsigned>(p[1]) << 8;
}

uint32_t GetUint32(const unsigned char* p)
{
    return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Read as signed, so that a huge unsigned value is out of range rather than wrapped into it.
int32_t GetInt32(const unsigned char* p)
{
    uint32_t value = GetUint32(p);
    return value <= 0x7FFFFFFFu ? static_cast<int32_t>(value) : -static_cast<int32_t>(~value) - 1;
}

void PutHeader(unsigned char* p, unsigned kind, uint32_t dwSearchId)
{
    std::memcpy(p, MAGIC, sizeof MAGIC);
    PutUint16(p + OFFSET_VERSION, VERSION);
    PutUint16(p + OFFSET_KIND, kind);
    PutUint32(p + OFFSET_SEARCH_ID, dwSearchId);
}

// The caller has made sure that the header's bytes are there.
bool IsHeader(const unsigned char* p, unsigned kind)
{
    return std::memcmp(p, MAGIC, sizeof MAGIC) == 0 && GetUint16(p + OFFSET_VERSION) == VERSION &&
           GetUint16(p + OFFSET_KIND) == kind;
}

// Control characters would break the line the name is shown on.
bool IsNameCharacter(unsigned char c)
{
    return c >= 0x20 && c != 0x7F;
}

} // namespace

void EncodeLanQuery(uint32_t dwSearchId, unsigned char query[LAN_QUERY_SIZE])
{
    std::memset(query, 0, LAN_QUERY_SIZE);
    PutHeader(query, KIND_QUERY, dwSearchId);
}

bool DecodeLanQuery(const unsigned char* data, size_t length, uint32_t* pdwSearchId)
{
    if (length != LAN_QUERY_SIZE || !IsHeader(data, KIND_QUERY))
        return false;
    *pdwSearchId = GetUint32(data + OFFSET_SEARCH_ID);
    return true;
}

size_t EncodeLanAnswer(const LanAnswer& answer, unsigned char out[LAN_ANSWER_MAX_SIZE])
{
    size_t nameLength = 0;
    while (nameLength < static_cast<size_t>(LAN_NAME_MAX) && answer.szName[nameLength] != '\0')
        ++nameLength;
    PutHeader(out, KIND_ANSWER, answer.dwSearchId);
    PutUint32(out + OFFSET_PORT, static_cast<uint32_t>(answer.nPort));
    PutUint32(out + OFFSET_PLAYERS, static_cast<uint32_t>(answer.nPlayers));
    PutUint32(out + OFFSET_MAX_PLAYERS, static_cast<uint32_t>(answer.nMaxPlayers));
    PutUint32(out + OFFSET_NAME_LENGTH, static_cast<uint32_t>(nameLength));
    for (size_t i = 0; i < nameLength; ++i) {
        unsigned char c = static_cast<unsigned char>(answer.szName[i]);
        out[OFFSET_NAME + i] = IsNameCharacter(c) ? c : ' ';
    }
    out[OFFSET_NAME + nameLength] = '\0';
    return OFFSET_NAME + nameLength + 1;
}

bool DecodeLanAnswer(const unsigned char* data, size_t length, LanAnswer* answer)
{
    if (length < LAN_ANSWER_HEADER_SIZE + 1 || !IsHeader(data, KIND_ANSWER))
        return false;
    int32_t port = GetInt32(data + OFFSET_PORT);
    int32_t players = GetInt32(data + OFFSET_PLAYERS);
    int32_t maxPlayers = GetInt32(data + OFFSET_MAX_PLAYERS);
    uint32_t nameLength = GetUint32(data + OFFSET_NAME_LENGTH);
    if (port < LAN_MIN_PORT || port > LAN_MAX_PORT || maxPlayers < 1 || maxPlayers > LAN_MAX_PLAYERS ||
        players < 0 || players > maxPlayers || nameLength > static_cast<uint32_t>(LAN_NAME_MAX))
        return false;
    // Exactly the name and its NUL follow: nothing missing, nothing after it.
    if (length != OFFSET_NAME + nameLength + 1 || data[OFFSET_NAME + nameLength] != '\0')
        return false;
    for (size_t i = 0; i < nameLength; ++i) {
        if (!IsNameCharacter(data[OFFSET_NAME + i]))
            return false;
    }
    answer->dwSearchId = GetUint32(data + OFFSET_SEARCH_ID);
    answer->nPort = port;
    answer->nPlayers = players;
    answer->nMaxPlayers = maxPlayers;
    std::memcpy(answer->szName, data + OFFSET_NAME, nameLength);
    answer->szName[nameLength] = '\0';
    return true;
}
