#include "lobby_host_stand_in.h"

#include "lobby_bytes.h"
#include "wizard_ports.h"

LobbyHostStandIn::LobbyHostStandIn(int player) : player_(player)
{
    listener_ = ListenOnWizardPort(&port_);
    thread_ = std::thread([this] {
        for (;;) {
            SOCKET s = accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET)
                return;
            SendRaw(s, Opening(player_));
            sockets_.push_back(s);
            InterlockedIncrement(&connections_);
        }
    });
}

LobbyHostStandIn::~LobbyHostStandIn()
{
    closesocket(listener_);
    thread_.join();
    for (SOCKET s : sockets_)
        closesocket(s);
}

bool LobbyHostStandIn::WaitForConnections(LONG count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (InterlockedCompareExchange(&connections_, 0, 0) < count) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}
