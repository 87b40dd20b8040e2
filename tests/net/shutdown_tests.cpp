// The end of a host: the program runs itself as the host process, which queues its last
// lines and the start signal, shuts the networking down and ends at once, as the wizard
// does; raw clients in this process check that everything reached them.
#include "lobby_bytes.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const HOST_SWITCH = "--host";
const int HOST_LINES = 5;

std::string HostLine(int i)
{
    return "host->last words " + std::to_string(i);
}

bool ThreeClients()
{
    return CountConnectedClients() == 3;
}

// The host process. Its exit code says how far it got; the time ShutdownNetworking took
// and the processor time it used go into the result file.
int RunHost(int port, const char* resultPath)
{
    SetHandshakeWord(12345);
    char error[NET_ERROR_TEXT_SIZE] = {};
    if (!InitializeServer(port, 4, error))
        return 2;
    if (!WaitFor(ThreeClients, 15000))
        return 3;
    // Right after a relay pass: the next one is 200 ms away, so the shutdown has to wait.
    if (!WaitForCount(LobbyInbox, 3, 5000))
        return 4;
    for (int i = 0; i < HOST_LINES; ++i)
        PushMessage(LobbyOutbox, ChatMessage(MSG_CHAT, HostLine(i)));
    PushMessage(LobbyOutbox, StartMessage());
    ULONGLONG processorBefore = ProcessorTimeMs();
    DWORD start = GetTickCount();
    ShutdownNetworking();
    DWORD wall = GetTickCount() - start;
    ULONGLONG processor = ProcessorTimeMs() - processorBefore;
    FILE* result = std::fopen(resultPath, "w");
    if (!result)
        return 5;
    std::fprintf(result, "%lu %lu\n", static_cast<unsigned long>(wall),
                 static_cast<unsigned long>(processor));
    std::fclose(result);
    ExitProcess(0);
}

TEST(HostShutdown, EveryClientGetsTheQueuedLinesTheStartSignalAndTheLastNoticeBeforeTheHostEnds)
{
    StartWinsock();
    TempFolder folder;
    std::string resultPath = folder.File("shutdown.txt");
    int port = FreePort();
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" " + HOST_SWITCH + " " +
                          std::to_string(port) + " \"" + resultPath + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));

    SOCKET clients[3] = {};
    for (int n = 0; n < 3; ++n) {
        // The host process may still be starting.
        DWORD start = GetTickCount();
        for (;;) {
            clients[n] = ConnectToPort(port);
            if (clients[n] != INVALID_SOCKET || GetTickCount() - start > 10000)
                break;
            Sleep(50);
        }
        ASSERT_NE(clients[n], INVALID_SOCKET) << "client " << n + 1;
        ASSERT_EQ(Hex(ReadBytes(clients[n], 16, 5000)), Hex(Opening(n + 1)));
    }

    std::vector<Bytes> expectedEnd;
    for (int i = 0; i < HOST_LINES; ++i)
        expectedEnd.push_back(ChatFrame(0, HostLine(i)));
    expectedEnd.push_back(START_SIGNAL);
    expectedEnd.push_back(Left(0));
    for (int n = 0; n < 3; ++n) {
        std::vector<Bytes> frames;
        Frame frame = {};
        while (ReadFrame(clients[n], &frame, 10000))
            frames.push_back(frame.raw);
        EXPECT_TRUE(ConnectionEnds(clients[n], 1000)) << "client " << n + 1;
        closesocket(clients[n]);
        ASSERT_GE(frames.size(), expectedEnd.size()) << "client " << n + 1;
        for (size_t i = 0; i < expectedEnd.size(); ++i)
            EXPECT_EQ(Hex(frames[frames.size() - expectedEnd.size() + i]), Hex(expectedEnd[i]))
                << "client " << n + 1 << ", message " << i;
    }

    ASSERT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(exitCode, 0u);

    unsigned long wall = 0;
    unsigned long processor = 0;
    FILE* result = std::fopen(resultPath.c_str(), "r");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::fscanf(result, "%lu %lu", &wall, &processor), 2);
    std::fclose(result);
    std::printf("ShutdownNetworking took %lu ms, %lu ms of processor time\n", wall, processor);
    EXPECT_GE(wall, 100u) << "the shutdown did not wait for the relay pass";
    EXPECT_LT(wall, 5000u);
    EXPECT_LT(processor, wall / 2) << "the shutdown kept a processor busy while it waited";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], HOST_SWITCH) == 0)
        return RunHost(std::atoi(argv[2]), argv[3]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
