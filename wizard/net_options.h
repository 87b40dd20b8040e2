#pragma once
// "netoptions.bin": what the multiplayer set-up hands to the game, one 1332-byte record.
// While the wizard runs, the same record is the pages' shared state, which is why it also
// holds window handles and error texts.
#include <windows.h>

#include <cstddef>
#include <cstdint>

const int NET_TEXT_SIZE = 256;  // every text field, NUL included

struct NetOptions {
    uint32_t dwReserved0;
    uint32_t bHost;
    char szPlayerName[NET_TEXT_SIZE];
    char szServerAddress[NET_TEXT_SIZE];
    uint32_t dwReserved1;
    int32_t nServerPort;
    char szClientError[NET_TEXT_SIZE];
    uint32_t hClientLobbyPage;  // a window handle, kept in 32 bits as the game expects
    uint32_t bPublishServer;
    uint32_t dwReserved2;
    char szServerName[NET_TEXT_SIZE];
    int32_t nHostPort;
    char szServerError[NET_TEXT_SIZE];
    uint32_t hServerLobbyPage;  // a window handle, kept in 32 bits as the game expects
    int32_t nPlayers;
    uint32_t bRoleChosen;
    int32_t nConnectMethod;
    int32_t nPlayerId;
};

// The game reads the file as this exact layout.
static_assert(offsetof(NetOptions, dwReserved0) == 0, "NetOptions layout");
static_assert(offsetof(NetOptions, bHost) == 4, "NetOptions layout");
static_assert(offsetof(NetOptions, szPlayerName) == 8, "NetOptions layout");
static_assert(offsetof(NetOptions, szServerAddress) == 264, "NetOptions layout");
static_assert(offsetof(NetOptions, dwReserved1) == 520, "NetOptions layout");
static_assert(offsetof(NetOptions, nServerPort) == 524, "NetOptions layout");
static_assert(offsetof(NetOptions, szClientError) == 528, "NetOptions layout");
static_assert(offsetof(NetOptions, hClientLobbyPage) == 784, "NetOptions layout");
static_assert(offsetof(NetOptions, bPublishServer) == 788, "NetOptions layout");
static_assert(offsetof(NetOptions, dwReserved2) == 792, "NetOptions layout");
static_assert(offsetof(NetOptions, szServerName) == 796, "NetOptions layout");
static_assert(offsetof(NetOptions, nHostPort) == 1052, "NetOptions layout");
static_assert(offsetof(NetOptions, szServerError) == 1056, "NetOptions layout");
static_assert(offsetof(NetOptions, hServerLobbyPage) == 1312, "NetOptions layout");
static_assert(offsetof(NetOptions, nPlayers) == 1316, "NetOptions layout");
static_assert(offsetof(NetOptions, bRoleChosen) == 1320, "NetOptions layout");
static_assert(offsetof(NetOptions, nConnectMethod) == 1324, "NetOptions layout");
static_assert(offsetof(NetOptions, nPlayerId) == 1328, "NetOptions layout");
static_assert(sizeof(NetOptions) == 1332, "NetOptions layout");

// nConnectMethod
const int CONNECT_NONE = 0;
const int CONNECT_DIRECT = 1;
const int CONNECT_LAN = 2;
const int CONNECT_INTERNET = 3;

// Starts all zero; the pages fill it in as the player goes. It is never loaded from the file.
extern NetOptions g_NetOptions;

extern const char kNetOptionsFileName[];      // "netoptions.bin"
extern const char kNetOptionsTempFileName[];  // written first, then put in its place

// Writes the record to "netoptions.bin". The game finds either the complete new record or
// whatever was there before, never a part of one.
void SaveNetOptions(const NetOptions& options);

// A window handle as the record keeps it.
uint32_t HandleField(HWND window);
