#include "wizard_ports.h"

namespace {

const int FIRST_PORT = 20000;
const int PORT_SPAN = 15000;

int CandidatePort()
{
    static int attempt = 0;
    ++attempt;
    return FIRST_PORT + static_cast<int>((GetCurrentProcessId() * 37u + attempt * 211u) % PORT_SPAN);
}

SOCKET BindPort(int port)
{
    WSADATA data = {};
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 5) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

} // namespace

int FreeWizardPort()
{
    int port = 0;
    closesocket(ListenOnWizardPort(&port));
    return port;
}

SOCKET ListenOnWizardPort(int* port)
{
    for (int i = 0; i < 500; ++i) {
        int candidate = CandidatePort();
        SOCKET s = BindPort(candidate);
        if (s != INVALID_SOCKET) {
            *port = candidate;
            return s;
        }
    }
    *port = 0;
    return INVALID_SOCKET;
}
