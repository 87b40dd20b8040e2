// The wizard's LAN road as players take it: real Hollagrin processes (its loopback build,
// whose LAN queries go to this machine's loopback broadcast), each player in a folder of its
// own, driven from outside through window messages. Two hosts wait in their lobbies; a
// player's LAN page finds both, joins one and chats with it, and once the other host has
// cancelled, a new search finds only the first.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "wizard_ports.h"
#include "wizard_run.h"

namespace {

// Controls and pages, as the player meets them.
const char* const HOST_GAME = "1002";
const char* const JOIN_GAME = "1003";
const char* const PLAYER_NAME = "1012";
const char* const LAN_METHOD = "1003";
const char* const SERVER_NAME = "1017";
const char* const PORT = "1006";
const char* const SERVER_LIST = "1014";
const char* const CONNECT = "1015";
const char* const REFRESH = "1016";
const char* const STATUS = "1024";
const char* const TRANSCRIPT = "1017";
const char* const CHAT_INPUT = "1006";
const char* const PLAYER_COUNT = "1021";

class Player : public WizardPlayer {
public:
    explicit Player(const std::string& name) : WizardPlayer(HOLLAGRIN_LOOPBACK_EXE, name) {}

    // The lines of the LAN list once the search has reported how many games it found.
    std::vector<std::string> FoundGames(int count) const
    {
        EXPECT_EQ(0u, Drive({"until", STATUS, "Searching the LAN for servers... " + std::to_string(count) + " FOUND!"}))
            << Name();
        std::vector<std::string> lines = ListLines(SERVER_LIST);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
};

void Host(const Player& host, const std::string& serverName, int port)
{
    ASSERT_EQ(0u, host.Drive({"page", "1", "click", HOST_GAME, "set", PLAYER_NAME, host.Name(), "next", "page", "7",
                              "set", SERVER_NAME, serverName, "set", PORT, std::to_string(port), "next", "page", "8"}))
        << host.Name();
}

std::string Line(const std::string& serverName, int port, int players)
{
    return serverName + "  127.0.0.1:" + std::to_string(port) + "  " + std::to_string(players) + "/4";
}

} // namespace

TEST(LanRun, TwoHostsAreFoundAPlayerJoinsOneAndAfterTheOtherCancelsOnlyThatOneIsLeft)
{
    int halPort = FreeWizardPort();
    int owlPort = FreeWizardPort();
    ASSERT_NE(0, halPort);
    ASSERT_NE(0, owlPort);
    Player hal("Hal");
    Host(hal, "Hal's LAN game", halPort);
    Player owl("Owl");
    Host(owl, "Night Owls", owlPort);

    Player ann("Ann");
    ASSERT_EQ(0u, ann.Drive({"page", "1", "click", JOIN_GAME, "set", PLAYER_NAME, ann.Name(), "next", "page", "2",
                             "click", LAN_METHOD, "next", "page", "4"}));
    std::vector<std::string> both = {Line("Hal's LAN game", halPort, 1), Line("Night Owls", owlPort, 1)};
    std::sort(both.begin(), both.end());
    ASSERT_EQ(both, ann.FoundGames(2));

    ASSERT_EQ(0u, ann.Drive({"select", SERVER_LIST, Line("Hal's LAN game", halPort, 1), "click", CONNECT, "page", "6"}))
        << "joining the game found on the LAN failed";
    ASSERT_EQ(0u, ann.Drive({"type", CHAT_INPUT, "found you on the LAN", "enter", CHAT_INPUT}));
    EXPECT_EQ(0u, hal.Drive({"until", TRANSCRIPT, "   Ann->found you on the LAN\r\n",
                             "until", PLAYER_COUNT, "Number of Players Connected: 1"}));
    ASSERT_EQ(0u, hal.Drive({"type", CHAT_INPUT, "welcome, Ann", "enter", CHAT_INPUT}));
    EXPECT_EQ(0u, ann.Drive({"until", TRANSCRIPT, "   Hal->welcome, Ann\r\n"}));

    // Back on the list, the search counts Ann in Hal's game.
    ASSERT_EQ(0u, ann.Drive({"back", "page", "4"}));
    both = {Line("Hal's LAN game", halPort, 2), Line("Night Owls", owlPort, 1)};
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, ann.FoundGames(2));

    ASSERT_EQ(0u, owl.Drive({"cancel", "gone"}));
    EXPECT_EQ(0u, owl.ExitCode());
    ASSERT_EQ(0u, ann.Drive({"click", REFRESH}));
    EXPECT_EQ(std::vector<std::string>{Line("Hal's LAN game", halPort, 2)}, ann.FoundGames(1));

    for (const Player* player : {&ann, &hal}) {
        EXPECT_EQ(0u, player->Drive({"cancel", "gone"})) << player->Name();
        EXPECT_EQ(0u, player->ExitCode()) << player->Name();
    }
}
