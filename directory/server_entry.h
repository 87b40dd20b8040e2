#pragma once
// The directory's record and list, byte for byte as they travel between the wizard and
// the directory service. Both the Windows wizard and the Linux service include this
// header, so it uses nothing but the standard library.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// One published host, 264 bytes, integers 32-bit little-endian.
struct ServerEntry {
    char szAddress[80];       // where the host accepts lobby connections; filled in by the directory
    char szName[80];          // the server name the host chose
    int32_t nField160;        // always 1; nothing reads it
    int32_t nField164;        // always 1; nothing reads it
    uint8_t abUnset[84];      // carries no meaning; written as zero
    int32_t nField252;        // always 1; nothing reads it
    int32_t nMaxPlayers;
    int32_t nPort;
};

static_assert(offsetof(ServerEntry, szAddress) == 0, "ServerEntry layout");
static_assert(offsetof(ServerEntry, szName) == 80, "ServerEntry layout");
static_assert(offsetof(ServerEntry, nField160) == 160, "ServerEntry layout");
static_assert(offsetof(ServerEntry, nField164) == 164, "ServerEntry layout");
static_assert(offsetof(ServerEntry, abUnset) == 168, "ServerEntry layout");
static_assert(offsetof(ServerEntry, nField252) == 252, "ServerEntry layout");
static_assert(offsetof(ServerEntry, nMaxPlayers) == 256, "ServerEntry layout");
static_assert(offsetof(ServerEntry, nPort) == 260, "ServerEntry layout");
static_assert(sizeof(ServerEntry) == 264, "ServerEntry layout");

const int SERVER_LIST_ENTRIES = 20;

// The list the directory hands out: 20 entries, no header, no count; unused entries are zero.
struct ServerList {
    ServerEntry aEntries[SERVER_LIST_ENTRIES];
};

static_assert(offsetof(ServerList, aEntries) == 0, "ServerList layout");
static_assert(sizeof(ServerList) == 5280, "ServerList layout");

// The list a downloaded body holds: its first 5280 bytes, and zero beyond the end of a
// shorter body.
inline ServerList ServerListFromBody(const char* pBody, size_t nBodyLength)
{
    ServerList list = {};
    std::memcpy(&list, pBody, nBodyLength < sizeof list ? nBodyLength : sizeof list);
    return list;
}

// A text field of a received entry, up to its first NUL or the end of the field: a field
// from the network need not hold a NUL, and reading on would run into the next field.
template <size_t N>
std::string EntryText(const char (&field)[N])
{
    const void* nul = std::memchr(field, 0, N);
    size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : N;
    return std::string(field, length);
}

// Copies a text into a field, cut to leave room for its NUL; the rest of the field is zeroed.
template <size_t N>
void SetEntryText(char (&field)[N], const char* text)
{
    std::memset(field, 0, N);
    size_t length = 0;
    while (length < N - 1 && text[length] != '\0') {
        ++length;
    }
    std::memcpy(field, text, length);
}
