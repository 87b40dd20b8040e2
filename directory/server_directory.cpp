#include "server_directory.h"

#include "http_client.h"

#include <cstdlib>

ServerList g_ServerList = {};

namespace {

const char* const LIST_PATH = "/cgi-bin/quarvcgiread.exe";
const char* const PUBLISH_PATH = "/cgi-bin/quarvcgi.exe";

}  // namespace

ServerList ReadServerListFrom(const char* szHost, int nPort)
{
    int nBodyLength = 0;
    char* pBody = HttpGet(szHost, LIST_PATH, nPort, &nBodyLength);
    if (pBody == nullptr) {
        return ServerList();
    }
    ServerList list = ServerListFromBody(pBody, static_cast<size_t>(nBodyLength));
    std::free(pBody);
    return list;
}

void PublishServerTo(const char* szHost, int nDirectoryPort, int nField164, int nPort, int nField160, int nMaxPlayers,
                     int nField252, const char* szServerName)
{
    // Everything the wizard does not set stays zero, so no stale memory leaves the machine.
    ServerEntry entry = {};
    SetEntryText(entry.szName, szServerName);
    entry.nField160 = nField160;
    entry.nField164 = nField164;
    entry.nField252 = nField252;
    entry.nMaxPlayers = nMaxPlayers;
    entry.nPort = nPort;
    HttpPost(szHost, PUBLISH_PATH, nDirectoryPort, &entry, sizeof entry);
}

ServerList ReadServerList()
{
    return ReadServerListFrom(g_szDirectoryHost, g_nDirectoryPort);
}

void PublishServer(int nField164, int nPort, int nField160, int nMaxPlayers, int nField252, const char* szServerName)
{
    PublishServerTo(g_szDirectoryHost, g_nDirectoryPort, nField164, nPort, nField160, nMaxPlayers, nField252,
                    szServerName);
}
