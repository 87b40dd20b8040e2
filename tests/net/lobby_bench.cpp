// The lobby benchmark's program (tools/bench-lobby runs it): one process is the host, three
// others are clients that chat through it with the real networking on both sides.
//   lobby_bench host <port> <idle seconds> <result file>
//   lobby_bench client <port> <lines> <milliseconds between lines> <result file>
// Each process has a hidden window that stands in for its lobby page and drains LobbyInbox
// when woken, as the wizard's pages do.
#include "clock_ms.h"
#include "net.h"
#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int CLIENTS = 3;

struct Chat {
    int sender;
    int sequence;
    double latencyMs;
};

std::vector<Chat> g_chats;
int g_nGoSeen;
int g_nOtherMessages;

// A client's line: "c<player>-><sequence> <time sent in ms>\r\n".
void Record(const NetMessage& message)
{
    if (message.nType == MSG_CHAT && message.nLength > 0 && std::strstr(message.pData, "->GO")) {
        ++g_nGoSeen;
        return;
    }
    int sequence = 0;
    double sent = 0;
    const char* text = message.nLength > 0 ? std::strstr(message.pData, "->") : nullptr;
    if (message.nType > MSG_CHAT && message.nType <= MSG_CHAT + CLIENTS && text &&
        std::sscanf(text + 2, "%d %lf", &sequence, &sent) == 2) {
        Chat chat = {message.nType - MSG_CHAT, sequence, NowMs() - sent};
        g_chats.push_back(chat);
        return;
    }
    ++g_nOtherMessages;
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_USER)
        return DefWindowProcA(window, message, wParam, lParam);
    while (!IsQueueEmpty(LobbyInbox)) {
        NetMessage received = PopMessage(LobbyInbox);
        Record(received);
        std::free(received.pData);
    }
    return 0;
}

HWND CreatePage()
{
    WNDCLASSA pageClass = {};
    pageClass.lpfnWndProc = PageProc;
    pageClass.hInstance = GetModuleHandleA(nullptr);
    pageClass.lpszClassName = "LobbyBenchPage";
    RegisterClassA(&pageClass);
    return CreateWindowExA(0, pageClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           pageClass.hInstance, nullptr);
}

void HandleWindowMessages()
{
    MSG message = {};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

// Handles window messages for up to timeoutMs, or until done() holds.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        DWORD remaining = timeoutMs - elapsed;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, remaining < 20 ? remaining : 20, QS_ALLINPUT);
        HandleWindowMessages();
    }
    return true;
}

// Handles window messages until the given moment on the NowMs() clock.
void PumpUntilMoment(double moment)
{
    for (double wait = moment - NowMs(); wait > 0; wait = moment - NowMs()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait) + 1, QS_ALLINPUT);
        HandleWindowMessages();
    }
}

NetMessage Line(int type, const std::string& text)
{
    NetMessage message = {};
    message.nType = type;
    message.nLength = static_cast<int>(text.size()) + 1;
    message.pData = static_cast<char*>(std::malloc(message.nLength));
    std::memcpy(message.pData, text.c_str(), message.nLength);
    return message;
}

int RunHost(int port, int idleSeconds, const char* resultPath)
{
    char error[NET_ERROR_TEXT_SIZE] = {};
    SetServerLobbyWnd(CreatePage());
    SetServerLobbyActive(1);
    if (!InitializeServer(port, 4, error)) {
        std::fprintf(stderr, "host: %s\n", error);
        return 2;
    }
    if (!PumpUntil([] { return CountConnectedClients() == CLIENTS; }, 60000))
        return 3;
    PumpUntil([] { return false; }, 1000);  // the join notices go out
    ULONGLONG before = ProcessorTimeMs();
    PumpUntil([] { return false; }, idleSeconds * 1000);
    ULONGLONG idleProcessor = ProcessorTimeMs() - before;
    PushMessage(LobbyOutbox, Line(MSG_CHAT, "host->GO\r\n"));
    PumpUntil([] { return CountConnectedClients() == 0; }, 180000);
    ShutdownNetworking();
    FILE* result = std::fopen(resultPath, "w");
    if (!result)
        return 4;
    std::fprintf(result, "idle_ms %d\nidle_processor_ms %lu\nhost_page_lines %u\n",
                 idleSeconds * 1000, static_cast<unsigned long>(idleProcessor),
                 static_cast<unsigned>(g_chats.size()));
    std::fclose(result);
    return 0;
}

int RunClient(int port, int lines, int intervalMs, const char* resultPath)
{
    int player = 0;
    char error[NET_ERROR_TEXT_SIZE] = {};
    SetPlayerIdTarget(&player);
    SetClientLobbyWnd(CreatePage());
    DWORD start = GetTickCount();
    while (!InitializeClient("127.0.0.1", port, error)) {
        if (GetTickCount() - start > 30000) {
            std::fprintf(stderr, "client: %s\n", error);
            return 2;
        }
        Sleep(100);
    }
    if (!PumpUntil([] { return g_nGoSeen > 0; }, 120000))
        return 3;
    double next = NowMs();
    for (int i = 0; i < lines; ++i) {
        char text[64] = {};
        std::snprintf(text, sizeof text, "c%d->%d %.3f\r\n", player, i, NowMs());
        PushMessage(LobbyOutbox, Line(MSG_CHAT + player, text));
        next += intervalMs;
        PumpUntilMoment(next);
    }
    size_t expected = static_cast<size_t>(lines) * CLIENTS;
    PumpUntil([&] { return g_chats.size() >= expected; }, 30000);
    ShutdownNetworking();

    std::vector<int> nextSequence(CLIENTS + 1, 0);
    bool inOrder = true;
    for (const Chat& chat : g_chats) {
        inOrder = inOrder && chat.sequence == nextSequence[chat.sender];
        nextSequence[chat.sender] = chat.sequence + 1;
    }
    FILE* result = std::fopen(resultPath, "w");
    if (!result)
        return 4;
    std::fprintf(result, "player %d\nexpected %u\nreceived %u\nin_order %d\nlatencies_ms", player,
                 static_cast<unsigned>(expected), static_cast<unsigned>(g_chats.size()),
                 inOrder ? 1 : 0);
    for (const Chat& chat : g_chats)
        std::fprintf(result, " %.3f", chat.latencyMs);
    std::fprintf(result, "\n");
    std::fclose(result);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "host") == 0)
        return RunHost(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    if (argc == 6 && std::strcmp(argv[1], "client") == 0)
        return RunClient(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    std::fprintf(stderr, "usage: lobby_bench host <port> <idle seconds> <result file>\n"
                         "       lobby_bench client <port> <lines> <ms between lines> <result file>\n");
    return 1;
}
