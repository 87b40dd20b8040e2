// The wizard's directory requests, under Wine, against the real directory service on
// loopback: a host publishes, is probed, appears in the list under the address it
// published from, and leaves the list once it stops answering.
#include "server_directory.h"

#include "test_support.h"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

int ServicePort()
{
    const char* portFile = std::getenv("QUARV_TEST_DIRECTORY_PORT_FILE");
    if (portFile == nullptr) {
        return 0;
    }
    int port = 0;
    FILE* file = std::fopen(HostPath(portFile).c_str(), "r");
    if (file != nullptr) {
        if (std::fscanf(file, "%d", &port) != 1) {
            port = 0;
        }
        std::fclose(file);
    }
    return port;
}

// A lobby host as the directory sees it: each connection gets the handshake word and the
// player number message. Listens on a port a wizard could host on (1 to 36000).
class LobbyHostStandIn {
public:
    LobbyHostStandIn()
    {
        WSADATA wsaData = {};
        WSAStartup(MAKEWORD(2, 2), &wsaData);
        listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        for (int port = 20000 + static_cast<int>(GetCurrentProcessId() % 5000); port < 36000 && port_ == 0; ++port) {
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = inet_addr("127.0.0.1");
            address.sin_port = htons(static_cast<u_short>(port));
            if (bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                port_ = port;
            }
        }
        listen(listen_, 16);
        thread_ = std::thread(&LobbyHostStandIn::Serve, this);
    }

    ~LobbyHostStandIn()
    {
        Close();
        WSACleanup();
    }

    int Port() const { return port_; }

    void Close()
    {
        if (listen_ != INVALID_SOCKET) {
            closesocket(listen_);
            listen_ = INVALID_SOCKET;
        }
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    void Serve()
    {
        const unsigned char opening[16] = {0x39, 0x30, 0, 0, 0xEC, 0x03, 0, 0, 0x04, 0, 0, 0, 0x01, 0, 0, 0};
        for (;;) {
            SOCKET s = accept(listen_, nullptr, nullptr);
            if (s == INVALID_SOCKET) {
                return;
            }
            send(s, reinterpret_cast<const char*>(opening), sizeof opening, 0);
            closesocket(s);
        }
    }

    SOCKET listen_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
};

const ServerEntry* FindByName(const ServerList& list, const std::string& name)
{
    for (const ServerEntry& entry : list.aEntries) {
        if (EntryText(entry.szName) == name) {
            return &entry;
        }
    }
    return nullptr;
}

bool WaitForListing(int servicePort, const std::string& name, bool listed, ServerEntry* found)
{
    DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < 8000) {
        ServerList list = ReadServerListFrom("127.0.0.1", servicePort);
        const ServerEntry* entry = FindByName(list, name);
        if ((entry != nullptr) == listed) {
            if (entry != nullptr) {
                *found = *entry;
            }
            return true;
        }
        Sleep(50);
    }
    return false;
}

TEST(WizardAndService, APublishedHostIsListedAndLeavesWhenItStopsAnswering)
{
    int servicePort = ServicePort();
    ASSERT_NE(servicePort, 0) << "no directory service port file";
    LobbyHostStandIn host;
    ASSERT_NE(host.Port(), 0);

    PublishServerTo("127.0.0.1", servicePort, 1, host.Port(), 1, 4, 1, "Wine host");
    ServerEntry entry = {};
    ASSERT_TRUE(WaitForListing(servicePort, "Wine host", true, &entry));
    EXPECT_EQ(EntryText(entry.szAddress), "127.0.0.1");
    EXPECT_EQ(entry.nPort, host.Port());
    EXPECT_EQ(entry.nMaxPlayers, 4);

    host.Close();
    EXPECT_TRUE(WaitForListing(servicePort, "Wine host", false, &entry));
}

}  // namespace
