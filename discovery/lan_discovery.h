#pragma once
// Finding games on the local network. A host's wizard runs a responder while its lobby
// page runs the server: it answers every query on the discovery port with the game's name,
// lobby port and players. A joining player's wizard searches: it sends a query to every
// machine of its network and collects the answers for a moment.
#include <winsock2.h>
#include <windows.h>

#include "lan_datagrams.h"

// Where queries go, and the port every responder listens on. Each program defines them in
// an object of its own: the player's build asks its whole network (the limited broadcast
// 255.255.255.255), a test build only this machine.
extern const char* g_szLanQueryAddress;
extern int g_nLanDiscoveryPort;

// Starts answering for the game; a responder already running is stopped first. The player
// count is asked for each answer, on the responder's own thread. False when the discovery
// port could not be opened: then nobody finds the game on the network.
bool StartLanResponder(const char* szServerName, int nLobbyPort, int nMaxPlayers, int (*pfnCountPlayers)());
// Returns once the responder has closed its socket; nothing is answered after that.
void StopLanResponder();

// A game that answered a search.
struct LanGame {
    char szAddress[16];  // where the answer came from, dotted
    int nPort;
    int nPlayers;
    int nMaxPlayers;
    char szName[LAN_NAME_MAX + 1];
};
const int LAN_MAX_GAMES = 32;
// The games of the current or last search, each once, in the order they answered.
extern LanGame g_LanGames[LAN_MAX_GAMES];
extern int g_nLanGames;

// How long a search waits for answers, and when it asks once more, for a query or an
// answer lost on the way.
const DWORD LAN_SEARCH_MS = 1500;
const DWORD LAN_REPEAT_QUERY_MS = 500;

// Forgets the games found before, opens a socket and sends the query. False when no query
// could be sent. Never waits: the caller collects the answers with ContinueLanSearch.
bool BeginLanSearch();
// Adds the answers that have arrived to g_LanGames and repeats the query when it is time.
// False once the search is over (its time is up, or it was ended).
bool ContinueLanSearch();
// Closes the search's socket: answers that come later reach nobody.
void EndLanSearch();
