#pragma once
// The wizard's two requests to the Internet server directory.
#include "server_entry.h"

// The list last downloaded by the Internet list page; its list box shows these entries in order.
extern ServerList g_ServerList;

// The directory that ReadServerList and PublishServer talk to: the build's settings
// (directory_address.cpp). Tests in the wizard's own process point it at a peer of theirs.
extern const char* g_szDirectoryHost;
extern int g_nDirectoryPort;

// Downloads the directory's list; all zero when the download failed, zero beyond the end
// of a short reply.
ServerList ReadServerList();

// Publishes this host (its name cut to 79 characters) to the directory. A failure is silent.
void PublishServer(int nField164, int nPort, int nField160, int nMaxPlayers, int nField252, const char* szServerName);

// The same two requests to a directory at the given host and port; the two above use
// g_szDirectoryHost and g_nDirectoryPort.
ServerList ReadServerListFrom(const char* szHost, int nPort);
void PublishServerTo(const char* szHost, int nDirectoryPort, int nField164, int nPort, int nField160, int nMaxPlayers,
                     int nField252, const char* szServerName);
