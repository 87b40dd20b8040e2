#include "server_list_join.h"

#include <cstdio>

#include "net.h"
#include "net_options.h"
#include "wizard_frame.h"

namespace {

// A port beyond 16 bits would reach whatever listens on the bits left of it, and no address
// would be taken as this machine.
bool ConnectToListedHost()
{
    if (g_NetOptions.szServerAddress[0] == '\0' || !IsPortInRange(g_NetOptions.nServerPort)) {
        std::snprintf(g_NetOptions.szClientError, NET_TEXT_SIZE, "The listed host has no usable address or port");
        return false;
    }
    SetPlayerIdTarget(&g_NetOptions.nPlayerId);
    return InitializeClient(g_NetOptions.szServerAddress, g_NetOptions.nServerPort, g_NetOptions.szClientError);
}

} // namespace

void ShowStatusNow(HWND page, int statusId, const std::string& text)
{
    SetDlgItemTextA(page, statusId, text.c_str());
    RedrawWindow(GetParent(page), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void JoinListedServer(HWND page, int statusId, const std::string& name, const std::string& address, int port)
{
    const std::string trying = "Trying to Connect to Server " + name + "...";
    ShowStatusNow(page, statusId, trying);
    std::snprintf(g_NetOptions.szServerAddress, NET_TEXT_SIZE, "%s", address.c_str());
    g_NetOptions.nServerPort = port;
    if (!ConnectToListedHost()) {
        ShowStatusNow(page, statusId, trying + " ERROR!");
        return;
    }
    ShowStatusNow(page, statusId, trying + " SUCCESS!");
    // Not inside a Next: the sheet lands on the page it is given.
    SendMessageA(GetParent(page), PSM_SETCURSEL, PAGE_CLIENT_LOBBY, 0);
}
