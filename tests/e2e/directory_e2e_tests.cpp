// The wizard's Internet road as players take it: the real Hollagrin (its loopback build,
// which talks to the directory service this test run started on 127.0.0.1), each player in
// a folder of its own beside the stand-in game, driven from outside through window messages.
// Two hosts publish their games; a player finds one in the Internet list, joins and chats;
// another player sees it too, and once that host's wizard has ended, sees it leave the list
// while the other game stays. (A directory with no game at all sends an all-zero list, which
// the page reports as a failed download and leaves the older names in place.)
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "wizard_ports.h"
#include "wizard_run.h"

namespace {

// How long a player may have to refresh before the directory lists a new host, which it does
// once its first probe of the host has been answered.
const DWORD LISTING_MS = 15000;

// Controls and pages, as the player meets them.
const char* const HOST_GAME = "1002";
const char* const JOIN_GAME = "1003";
const char* const PLAYER_NAME = "1012";
const char* const INTERNET_METHOD = "1013";
const char* const SERVER_NAME = "1017";
const char* const PORT = "1006";
const char* const PUBLISH = "1010";
const char* const SERVER_LIST = "1014";
const char* const REFRESH = "1022";
const char* const CONNECT = "1023";
const char* const STATUS = "1024";
const char* const TRANSCRIPT = "1017";
const char* const CHAT_INPUT = "1006";

// Presses "Refresh Server List" until the list does or does not hold the name; the time
// that took, or ~0u when it never came to be.
DWORD RefreshUntil(const WizardPlayer& player, const std::string& name, bool listed, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<std::string> lines = player.ListLines(SERVER_LIST);
        bool found = std::find(lines.begin(), lines.end(), name) != lines.end();
        if (found == listed)
            return GetTickCount() - start;
        if (GetTickCount() - start >= timeoutMs)
            return ~0u;
        EXPECT_EQ(0u, player.Drive({"click", REFRESH})) << player.Name();
    }
}

class Player : public WizardPlayer {
public:
    explicit Player(const std::string& name) : WizardPlayer(HOLLAGRIN_LOOPBACK_EXE, name) {}
};

} // namespace

TEST(DirectoryRun, APublishedGameIsFoundJoinedAndLeavesTheListWhenItsHostHasGone)
{
    const std::string serverName = "Hal's Quarv Server";
    const std::string otherName = "Night Owls";
    int port = FreeWizardPort();
    ASSERT_NE(0, port);
    Player host("Hal");
    ASSERT_EQ(0u, host.Drive({"page", "1", "click", HOST_GAME, "set", PLAYER_NAME, host.Name(), "next", "page", "7",
                              "set", SERVER_NAME, serverName, "set", PORT, std::to_string(port), "click", PUBLISH,
                              "next", "page", "8"}));
    int otherPort = FreeWizardPort();
    ASSERT_NE(0, otherPort);
    Player otherHost("Owl");
    ASSERT_EQ(0u, otherHost.Drive({"page", "1", "click", HOST_GAME, "set", PLAYER_NAME, otherHost.Name(), "next",
                                   "page", "7", "set", SERVER_NAME, otherName, "set", PORT, std::to_string(otherPort),
                                   "click", PUBLISH, "next", "page", "8"}));

    Player ann("Ann");
    ASSERT_EQ(0u, ann.Drive({"page", "1", "click", JOIN_GAME, "set", PLAYER_NAME, ann.Name(), "next", "page", "2",
                             "click", INTERNET_METHOD, "next", "page", "5"}));
    ASSERT_NE(~0u, RefreshUntil(ann, serverName, true, LISTING_MS)) << "the published game never showed in the list";
    std::string status;
    EXPECT_EQ(0u, ann.Drive({"print", STATUS}, &status));
    EXPECT_EQ("Trying to Download the List of Servers... SUCCESS!\n--end--\n", status);
    std::vector<std::string> lines = ann.ListLines(SERVER_LIST);
    EXPECT_EQ(20u, lines.size()) << "every entry has its line";

    ASSERT_EQ(0u, ann.Drive({"select", SERVER_LIST, serverName, "until", STATUS,
                             "Server " + serverName + " is the current Selection Press",
                             "click", CONNECT, "page", "6"}))
        << "joining the listed game failed";

    // A chat line each way, through the host.
    ASSERT_EQ(0u, ann.Drive({"type", CHAT_INPUT, "found you on the Internet", "enter", CHAT_INPUT}));
    EXPECT_EQ(0u, host.Drive({"until", TRANSCRIPT, "   Ann->found you on the Internet\r\n"}));
    ASSERT_EQ(0u, host.Drive({"type", CHAT_INPUT, "welcome, Ann", "enter", CHAT_INPUT}));
    EXPECT_EQ(0u, ann.Drive({"until", TRANSCRIPT, "   Hal->welcome, Ann\r\n"}));

    // Every other player sees the game too.
    Player bob("Bob");
    ASSERT_EQ(0u, bob.Drive({"page", "1", "click", JOIN_GAME, "set", PLAYER_NAME, bob.Name(), "next", "page", "2",
                             "click", INTERNET_METHOD, "next", "page", "5"}));
    ASSERT_NE(~0u, RefreshUntil(bob, serverName, true, LISTING_MS));
    ASSERT_NE(~0u, RefreshUntil(bob, otherName, true, LISTING_MS));

    // The host starts the game; its wizard ends, and Ann's with it.
    ASSERT_EQ(0u, host.Drive({"finish"}));
    EXPECT_EQ(0u, host.ExitCode());
    EXPECT_EQ(0u, ann.ExitCode());
    std::vector<unsigned char> record = ReadFileBytes(ann.File("netoptions.bin"));
    ASSERT_EQ(1332u, record.size());
    EXPECT_EQ("127.0.0.1", TextAt(record, 264)) << "szServerAddress: the address the directory listed";
    EXPECT_EQ(port, Int32At(record, 524)) << "nServerPort";
    EXPECT_EQ(3, Int32At(record, 1324)) << "nConnectMethod";
    EXPECT_TRUE(WaitForFile(ann.File("quarv.exe.ran"), 10000)) << "Ann's game did not start";

    // The directory finds the host gone at its next probes and drops it.
    DWORD gone = RefreshUntil(bob, serverName, false, (DIRECTORY_DROP_SECONDS + 10) * 1000);
    EXPECT_NE(~0u, gone) << "the ended game stayed in the list";
    std::vector<std::string> left = bob.ListLines(SERVER_LIST);
    EXPECT_NE(left.end(), std::find(left.begin(), left.end(), otherName)) << "the other game went too";
    EXPECT_EQ(0u, bob.Drive({"print", STATUS}, &status));
    EXPECT_EQ("Trying to Download the List of Servers... SUCCESS!\n--end--\n", status);
    for (const Player* player : {&otherHost, &bob}) {
        EXPECT_EQ(0u, player->Drive({"cancel", "gone"})) << player->Name();
        EXPECT_EQ(0u, player->ExitCode()) << player->Name();
    }
}
