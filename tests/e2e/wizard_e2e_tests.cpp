// The real Hollagrin.exe as players run it: each wizard installed in a folder of its own
// beside the stand-in game, started as its own process and driven from another one
// through window messages; checked by what the players see in their lobbies, the options
// file each wizard leaves and the game it starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "message_box_watcher.h"
#include "test_support.h"
#include "wizard_controls.h"
#include "wizard_ports.h"
#include "wizard_run.h"

namespace {

const size_t RECORD_SIZE = 1332;
const DWORD PROCESS_END_MS = 30000;

struct Player {
    std::string name;
    std::unique_ptr<TempFolder> folder;
    PROCESS_INFORMATION process;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

int Count(const std::vector<std::string>& lines, const std::string& line)
{
    int count = 0;
    for (const std::string& l : lines)
        count += l == line;
    return count;
}

class WizardRunTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (Player* player : players_) {
            if (WaitForSingleObject(player->process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(player->process.hProcess, 1);
            CloseHandle(player->process.hThread);
            CloseHandle(player->process.hProcess);
        }
    }

    // A folder as an installed game has it, with the wizard started in it.
    void Start(Player* player, const std::string& name)
    {
        player->name = name;
        player->folder.reset(new TempFolder(false));
        ASSERT_TRUE(StartWizardIn(HOLLAGRIN_EXE, *player->folder, &player->process)) << GetLastError();
        players_.push_back(player);
    }

    // Runs the driver on one player's wizard; returns its exit code and, in *output,
    // what it printed.
    static DWORD Drive(const Player& player, std::initializer_list<std::string> commands, std::string* output = nullptr)
    {
        return RunWizardDriver("--pid " + std::to_string(player.process.dwProcessId), commands, output);
    }

    static DWORD ExitCode(const Player& player)
    {
        return ExitCodeWithin(player.process.hProcess, PROCESS_END_MS);
    }

    static std::string Transcript(const Player& player)
    {
        std::string output;
        EXPECT_EQ(0u, Drive(player, {"print", TRANSCRIPT}, &output)) << player.name;
        size_t end = output.rfind("\n--end--");
        return end == std::string::npos ? std::string() : output.substr(0, end);
    }

    std::vector<Player*> players_;
};

} // namespace

TEST_F(WizardRunTest, FourPlayersMeetChatAndStartTheGame)
{
    int port = FreeWizardPort();
    ASSERT_NE(0, port);
    const std::string portText = std::to_string(port);

    Player host;
    Start(&host, "Hal");
    ASSERT_EQ(0u, Drive(host, {"page", "1", "click", HOST_GAME, "set", PLAYER_NAME, host.name, "next", "page", "7",
                               "set", SERVER_NAME, "Cool Quarv Server", "set", PORT, portText, "next", "page", "8"}));

    Player clients[3];
    const char* names[3] = {"Ann", "Bob", "Cid"};
    for (int i = 0; i < 3; ++i) {
        Start(&clients[i], names[i]);
        ASSERT_EQ(0u, Drive(clients[i], {"page", "1", "click", JOIN_GAME, "set", PLAYER_NAME, names[i], "next",
                                         "page", "2", "click", DIRECT_METHOD, "next", "page", "3", "set", ADDRESS,
                                         "127.0.0.1", "set", PORT, portText, "next", "page", "6"}))
            << names[i] << " did not reach the lobby";
    }
    EXPECT_EQ(0u, Drive(host, {"until", PLAYER_COUNT, "Number of Players Connected: 3"}));

    // Everyone says something; every line must reach every lobby once.
    std::vector<Player*> everyone = {&host, &clients[0], &clients[1], &clients[2]};
    for (Player* speaker : everyone)
        ASSERT_EQ(0u, Drive(*speaker, {"type", CHAT_INPUT, "hello from " + speaker->name, "enter", CHAT_INPUT}));
    for (Player* listener : everyone) {
        for (Player* speaker : everyone) {
            std::string line = speaker->name + "->hello from " + speaker->name;
            std::string shown = speaker == listener ? line : "   " + line;
            EXPECT_EQ(0u, Drive(*listener, {"until", TRANSCRIPT, shown + "\r\n"}))
                << listener->name << " never saw: " << shown;
        }
    }

    // A fifth wizard finds the server full.
    Player fifth;
    Start(&fifth, "Eve");
    {
        MessageBoxWatcher boxes(IDOK, fifth.process.dwProcessId);
        ASSERT_EQ(0u, Drive(fifth, {"page", "1", "click", JOIN_GAME, "set", PLAYER_NAME, fifth.name, "next", "page",
                                    "2", "click", DIRECT_METHOD, "next", "page", "3", "set", ADDRESS, "127.0.0.1",
                                    "set", PORT, portText, "next"}));
        ASSERT_TRUE(boxes.WaitForCount(1, 20000)) << "the fifth wizard showed no message";
        SeenMessageBox box = boxes.Seen()[0];
        bool refused = (box.caption == "Connection Error" && box.text == "Unable to connect to server") ||
                       (box.caption == "Error" && box.text == "SERVER IS FULL");
        EXPECT_TRUE(refused) << box.caption << ": " << box.text;
    }
    // Cancelled, it writes nothing and starts nothing.
    EXPECT_EQ(0u, Drive(fifth, {"page", "3", "cancel", "gone"}));
    EXPECT_EQ(0u, ExitCode(fifth));
    EXPECT_FALSE(FileExists(fifth.folder->File("netoptions.bin")));
    EXPECT_FALSE(FileExists(fifth.folder->File("quarv.exe.ran")));

    // Each transcript: every line once, one's own flush left and the others' indented.
    for (Player* listener : everyone) {
        std::vector<std::string> lines = Lines(Transcript(*listener));
        for (Player* speaker : everyone) {
            std::string line = speaker->name + "->hello from " + speaker->name;
            bool own = speaker == listener;
            EXPECT_EQ(own ? 1 : 0, Count(lines, line)) << listener->name << " / " << speaker->name;
            EXPECT_EQ(own ? 0 : 1, Count(lines, "   " + line)) << listener->name << " / " << speaker->name;
        }
    }
    std::string count;
    EXPECT_EQ(0u, Drive(host, {"print", PLAYER_COUNT}, &count));
    EXPECT_EQ("Number of Players Connected: 3\n--end--\n", count) << "the refused wizard took no slot";

    ASSERT_EQ(0u, Drive(host, {"finish"}));
    for (Player* player : everyone)
        EXPECT_EQ(0u, ExitCode(*player)) << player->name;

    for (Player* player : everyone) {
        std::vector<unsigned char> bytes = ReadFileBytes(player->folder->File("netoptions.bin"));
        ASSERT_EQ(RECORD_SIZE, bytes.size()) << player->name;
        bool isHost = player == &host;
        EXPECT_EQ(isHost ? 1 : 0, Int32At(bytes, 4)) << player->name << " bHost";
        EXPECT_EQ(player->name, TextAt(bytes, 8)) << player->name << " szPlayerName";
        EXPECT_EQ(isHost ? "" : "127.0.0.1", TextAt(bytes, 264)) << player->name << " szServerAddress";
        EXPECT_EQ(isHost ? 0 : port, Int32At(bytes, 524)) << player->name << " nServerPort";
        EXPECT_EQ(isHost ? 4 : 0, Int32At(bytes, 1316)) << player->name << " nPlayers";
        if (isHost) {
            EXPECT_EQ("Cool Quarv Server", TextAt(bytes, 796));
            EXPECT_EQ(port, Int32At(bytes, 1052)) << "nHostPort";
        }
        int expectedId = isHost ? 0 : static_cast<int>(player - clients) + 1;
        EXPECT_EQ(expectedId, Int32At(bytes, 1328)) << player->name << " nPlayerId";

        std::string record = player->folder->File("quarv.exe.ran");
        ASSERT_TRUE(WaitForFile(record, 10000)) << player->name << ": the game did not start";
        std::vector<unsigned char> ran = ReadFileBytes(record);
        std::string text(ran.begin(), ran.end());
        EXPECT_NE(std::string::npos, text.find("netoptions.bin=1332\n")) << player->name << "\n" << text;
        EXPECT_NE(std::string::npos, text.find("cwd=" + player->folder->Path() + "\n")) << player->name << "\n" << text;
    }
}

TEST_F(WizardRunTest, TheLaunchersMultiPlayerStartOpensTheWizardAndCancelWritesNothing)
{
    TempFolder folder(false);
    ASSERT_TRUE(CopyFileOver(HostPath(KESTRUNE_EXE), folder.File("Kestrune.exe")));
    ASSERT_TRUE(CopyFileOver(HostPath(KESTRUNE_DEFAULT_OPTIONS), folder.File("defoptions.bin")));
    ASSERT_TRUE(CopyFileOver(HostPath(HOLLAGRIN_EXE), folder.File("Hollagrin.exe")));
    ASSERT_TRUE(CopyFileOver(StandinGamePath(), folder.File("quarv.exe")));

    std::string line = Quoted(folder.File("Kestrune.exe"));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION launcher = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(),
                               &startup, &launcher));
    std::string press = Quoted(HostPath(LAUNCHER_DRIVER_EXE)) + " --pid " + std::to_string(launcher.dwProcessId) +
                        " wait press 1005 press 1";
    PROCESS_INFORMATION driver = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &press[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &driver));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(driver.hProcess, 30000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(launcher.hProcess, 30000));
    for (HANDLE h : {driver.hThread, driver.hProcess, launcher.hThread, launcher.hProcess})
        CloseHandle(h);

    // The launcher has ended; the wizard it started shows its sheet on the host/join page.
    EXPECT_EQ(0u, RunWizardDriver("", {"page", "1", "cancel", "gone"}));
    EXPECT_TRUE(FileExists(folder.File("options.bin")));
    EXPECT_FALSE(FileExists(folder.File("netoptions.bin")));
    EXPECT_FALSE(FileExists(folder.File("quarv.exe.ran")));
}
