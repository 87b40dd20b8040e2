// The LAN page and the host's answers, driven as players drive them in the real wizard
// sheet: games on this machine are stood in for by UDP peers on the test build's discovery
// port that read the queries and write their answers byte by byte; a real lobby host, or a
// stand-in that greets with the wire bytes, takes the connection.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lan_discovery.h"
#include "lan_peer.h"
#include "lobby_bytes.h"
#include "lobby_host_stand_in.h"
#include "resource.h"
#include "server_directory.h"
#include "wizard_ports.h"
#include "wizard_sheet.h"

namespace {

const DWORD BACK = PSWIZB_BACK;
const char* const SEARCHING = "Searching the LAN for servers...";
const char* const NONE_ANSWERED = "Searching the LAN for servers... NO SERVER ANSWERED!";
const char* const NO_SELECTION = "Error! Select a Server from the List first";
const DWORD SEARCH_END_MS = 5000;

// A game on this machine as the page meets it: bound to the shared discovery port, it
// answers every query with the datagrams its function writes for the query's search id.
class LanGameStandIn {
public:
    using Answers = std::function<std::vector<Datagram>(uint32_t searchId)>;

    explicit LanGameStandIn(Answers answers, DWORD delayMs = 0)
        : peer_("0.0.0.0", g_nLanDiscoveryPort, true), answers_(answers), delayMs_(delayMs)
    {
        thread_ = std::thread([this] {
            while (running_) {
                Datagram query;
                sockaddr_in from = {};
                if (!peer_.Receive(&query, &from, 20))
                    continue;
                uint32_t searchId = query.size() >= 12 ? Le32At(query, 8) : 0;
                {
                    std::lock_guard<std::mutex> hold(lock_);
                    queries_.push_back(query);
                    asker_ = from;
                }
                Sleep(delayMs_);
                for (const Datagram& answer : answers_(searchId))
                    SendToAsker(from, answer);
            }
        });
    }
    ~LanGameStandIn() { Stop(); }

    void Stop()
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }
    std::vector<Datagram> Queries()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return queries_;
    }
    // Sends to the socket the last query came from.
    void SendToLastAsker(const Datagram& bytes)
    {
        sockaddr_in asker = {};
        {
            std::lock_guard<std::mutex> hold(lock_);
            asker = asker_;
        }
        SendToAsker(asker, bytes);
    }

private:
    void SendToAsker(const sockaddr_in& asker, const Datagram& bytes)
    {
        peer_.SendTo(inet_ntoa(asker.sin_addr), ntohs(asker.sin_port), bytes);
    }

    UdpPeer peer_;
    Answers answers_;
    DWORD delayMs_;
    volatile bool running_ = true;
    std::mutex lock_;
    std::vector<Datagram> queries_;
    sockaddr_in asker_ = {};
    std::thread thread_;
};

LanGameStandIn::Answers Game(uint32_t port, uint32_t players, const std::string& name, int copies = 1)
{
    return [=](uint32_t searchId) {
        return std::vector<Datagram>(copies, AnswerBytes(searchId, port, players, 4, name));
    };
}

class LanListPageTest : public WizardSheetTest {
protected:
    // Join, the LAN method, Next: the way a player reaches the list.
    void GoToList()
    {
        Click(IDC_JOIN_GAME);
        SetText(IDC_PLAYER_NAME, "Ann");
        Press(PSBTN_NEXT);
        Click(IDC_METHOD_LAN);
        Press(PSBTN_NEXT);
        ASSERT_EQ(PAGE_LAN_LIST, CurrentIndex());
    }

    std::string Status()
    {
        char text[512] = {};
        GetDlgItemTextA(PageAt(PAGE_LAN_LIST), IDC_LAN_STATUS, text, sizeof text);
        return text;
    }

    // Pumps until the search has reported its outcome; that outcome.
    std::string SearchOutcome()
    {
        PumpUntil([this] { return Status() != SEARCHING; }, SEARCH_END_MS);
        return Status();
    }

    // What a player on this machine hears back from one query, handling the sheet's messages
    // meanwhile; empty when nothing answered.
    Datagram AskTheNetwork(uint32_t searchId)
    {
        UdpPeer player;
        player.SendTo("127.255.255.255", g_nLanDiscoveryPort, QueryBytes(searchId));
        Datagram answer;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 500;) {
            Pump();
            if (player.Receive(&answer, nullptr, 20))
                return answer;
        }
        return Datagram();
    }

};

std::string Found(int count)
{
    return std::string(SEARCHING) + " " + std::to_string(count) + " FOUND!";
}

} // namespace

TEST_F(LanListPageTest, ShowingThePageListsEachAnsweringGameOnceAsItArrives)
{
    // Hal answers every query twice, Owl only after a while.
    LanGameStandIn hal(Game(2300, 1, "Hal's game", 2));
    LanGameStandIn owl(Game(2400, 3, "Owl's game"), 700);
    const std::string halLine = "Hal's game  127.0.0.1:2300  1/4";
    const std::string owlLine = "Owl's game  127.0.0.1:2400  3/4";

    DWORD shown = GetTickCount();
    GoToList();
    EXPECT_LT(GetTickCount() - shown, 1200u) << "the sheet waited for the search";
    EXPECT_EQ(SEARCHING, Status());
    EXPECT_EQ(BACK, Buttons()) << "Next is never enabled";

    ASSERT_TRUE(PumpUntil([&] { return !ServerListLines(PAGE_LAN_LIST).empty(); }, 2000));
    EXPECT_LT(GetTickCount() - shown, LAN_SEARCH_MS) << "the first answer is listed as it arrives";
    EXPECT_EQ(std::vector<std::string>{halLine}, ServerListLines(PAGE_LAN_LIST)) << "Owl has not answered yet";
    EXPECT_EQ(SEARCHING, Status());

    EXPECT_EQ(Found(2), SearchOutcome());
    EXPECT_EQ((std::vector<std::string>{halLine, owlLine}), ServerListLines(PAGE_LAN_LIST)) << "each game once";
    EXPECT_EQ(BACK, Buttons());
    for (LanGameStandIn* game : {&hal, &owl}) {
        std::vector<Datagram> queries = game->Queries();
        ASSERT_EQ(2u, queries.size()) << "one query and its repeat";
        for (const Datagram& query : queries)
            EXPECT_EQ(HexOf(QueryBytes(Le32At(query, 8))), HexOf(query));
        EXPECT_EQ(Le32At(queries[0], 8), Le32At(queries[1], 8)) << "one search";
    }
}

TEST_F(LanListPageTest, EveryBadAnswerIsIgnored)
{
    LanGameStandIn game([](uint32_t searchId) {
        std::vector<Datagram> answers;
        for (const NamedDatagram& bad : BadAnswers(searchId))
            answers.push_back(bad.bytes);
        answers.push_back(AnswerBytes(searchId, 2500, 2, 4, "Good"));
        return answers;
    });
    GoToList();
    EXPECT_EQ(Found(1), SearchOutcome()) << "the page went on through all of them";
    EXPECT_EQ(std::vector<std::string>{"Good  127.0.0.1:2500  2/4"}, ServerListLines(PAGE_LAN_LIST))
        << "a line from a bad answer carries that answer's name";
}

TEST_F(LanListPageTest, AnAnswerAfterTheSearchIsIgnored)
{
    LanGameStandIn late([](uint32_t) { return std::vector<Datagram>(); });
    GoToList();
    ASSERT_EQ(NONE_ANSWERED, SearchOutcome());
    std::vector<Datagram> queries = late.Queries();
    ASSERT_FALSE(queries.empty());
    late.SendToLastAsker(AnswerBytes(Le32At(queries.back(), 8), 2600, 1, 4, "Late"));
    PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(ServerListLines(PAGE_LAN_LIST).empty());
    EXPECT_EQ(NONE_ANSWERED, Status());
}

TEST_F(LanListPageTest, ARefreshSearchesAgainAndForgetsGamesThatStopped)
{
    LanGameStandIn hal(Game(2300, 1, "Hal's game"));
    LanGameStandIn owl(Game(2400, 1, "Owl's game"));
    GoToList();
    ASSERT_EQ(Found(2), SearchOutcome());

    owl.Stop();
    Click(IDC_LAN_REFRESH);
    EXPECT_EQ(SEARCHING, Status());
    EXPECT_EQ(Found(1), SearchOutcome());
    EXPECT_EQ(std::vector<std::string>{"Hal's game  127.0.0.1:2300  1/4"}, ServerListLines(PAGE_LAN_LIST));

    hal.Stop();
    Click(IDC_LAN_REFRESH);
    EXPECT_EQ(NONE_ANSWERED, SearchOutcome());
    EXPECT_TRUE(ServerListLines(PAGE_LAN_LIST).empty());
}

TEST_F(LanListPageTest, ConnectJoinsTheSelectedGameAndBackSearchesAgain)
{
    LobbyHostStandIn host(2);
    LanGameStandIn other(Game(FreeWizardPort(), 1, "Other"));
    LanGameStandIn hal(Game(host.Port(), 1, "Hal's game"), 100);
    GoToList();
    ASSERT_EQ(Found(2), SearchOutcome());
    ASSERT_EQ(2u, ServerListLines(PAGE_LAN_LIST).size());
    ASSERT_EQ(0u, ServerListLines(PAGE_LAN_LIST)[1].find("Hal's game  127.0.0.1:"));

    SelectServerLine(1);
    EXPECT_EQ("Server Hal's game is the current Selection Press \"Connect to server!\"", Status());
    Click(IDC_LAN_CONNECT);
    EXPECT_TRUE(host.WaitForConnections(1, 5000));
    EXPECT_EQ(PAGE_CLIENT_LOBBY, CurrentIndex());
    EXPECT_EQ("Trying to Connect to Server Hal's game... SUCCESS!", Status());
    EXPECT_STREQ("127.0.0.1", g_NetOptions.szServerAddress);
    EXPECT_EQ(host.Port(), g_NetOptions.nServerPort);
    EXPECT_TRUE(PumpUntil([] { return g_NetOptions.nPlayerId == 2; })) << "player number " << g_NetOptions.nPlayerId;

    size_t before = hal.Queries().size();
    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_LAN_LIST, CurrentIndex());
    EXPECT_EQ(Found(2), SearchOutcome());
    EXPECT_EQ(before + 2, hal.Queries().size()) << "the list shown again is searched again";
    EXPECT_NE(0u, GetClientSocket()) << "going back keeps the connection";
}

TEST_F(LanListPageTest, ConnectWithoutASelectionOrToAGameThatIsGoneStaysOnThePage)
{
    LanGameStandIn gone(Game(FreeWizardPort(), 1, "Gone"));
    GoToList();
    ASSERT_EQ(Found(1), SearchOutcome());

    Click(IDC_LAN_CONNECT);
    EXPECT_EQ(NO_SELECTION, Status());
    EXPECT_STREQ("", g_NetOptions.szServerAddress) << "no connection was tried";

    SelectServerLine(0);
    Click(IDC_LAN_CONNECT);
    EXPECT_EQ("Trying to Connect to Server Gone... ERROR!", Status());
    EXPECT_EQ(PAGE_LAN_LIST, CurrentIndex());
    EXPECT_EQ(BACK, Buttons());
    EXPECT_STRNE("", g_NetOptions.szClientError) << "the reason is kept";
    EXPECT_EQ(0u, GetClientSocket());
}

TEST_F(LanListPageTest, ASelectionMadeDuringTheSearchKeepsItsStatusLine)
{
    const std::string selected = "Server Hal's game is the current Selection Press \"Connect to server!\"";
    LanGameStandIn hal(Game(2300, 1, "Hal's game"));
    GoToList();
    ASSERT_TRUE(PumpUntil([&] { return !ServerListLines(PAGE_LAN_LIST).empty(); }, 2000));
    SelectServerLine(0);
    EXPECT_EQ(selected, Status());
    PumpUntil([] { return false; }, 2000);
    EXPECT_EQ(selected, Status()) << "the search's end took the line";
    Click(IDC_LAN_REFRESH);
    EXPECT_EQ(Found(1), SearchOutcome()) << "a new search reports again";
}

TEST_F(LanListPageTest, NextStaysDisabledAndAForcedNextLeadsNowhere)
{
    LanGameStandIn hal(Game(2300, 1, "Hal's game"));
    GoToList();
    ASSERT_EQ(Found(1), SearchOutcome());
    EXPECT_EQ(BACK, Buttons());
    Press(PSBTN_NEXT);
    EXPECT_EQ(PAGE_LAN_LIST, CurrentIndex());
    EXPECT_EQ(0u, GetClientSocket());
    EXPECT_EQ(BACK, Buttons());
    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_CONNECT_METHOD, CurrentIndex());
}

TEST_F(LanListPageTest, PagesThatPassTheListAskTheNetworkNothing)
{
    LanGameStandIn listener(Game(2300, 1, "Hal's game"));
    LobbyHostStandIn host(1);
    g_szDirectoryHost = "127.0.0.1";
    g_nDirectoryPort = FreeWizardPort();
    // From the method page over 4 to the Internet list at 5.
    Click(IDC_JOIN_GAME);
    SetText(IDC_PLAYER_NAME, "Ann");
    Press(PSBTN_NEXT);
    Click(IDC_METHOD_INTERNET);
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_INTERNET_LIST, CurrentIndex());
    ASSERT_NE(nullptr, PageAt(PAGE_LAN_LIST)) << "the sheet passed the LAN page on its way";
    // A direct connection, and the lobby's Back from 6 over 4 to 3.
    Press(PSBTN_BACK);
    Click(IDC_METHOD_DIRECT);
    Press(PSBTN_NEXT);
    SetText(IDC_ADDRESS, "127.0.0.1");
    SetText(IDC_PORT, std::to_string(host.Port()));
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_CLIENT_LOBBY, CurrentIndex());
    Press(PSBTN_BACK);
    ASSERT_EQ(PAGE_DIRECT_CONNECT, CurrentIndex());
    PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(listener.Queries().empty());
}

// The host's side: its lobby page answers for its game while it shows it, and stops when the
// host leaves it, whichever way.
enum LeaveBy { BY_BACK, BY_START_GAME, BY_CLOSING_THE_SHEET };
struct LeaveCase {
    const char* name;
    LeaveBy way;
};
void PrintTo(const LeaveCase& c, std::ostream* out) { *out << c.name; }

class HostAnswers : public LanListPageTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(HostAnswers, OnlyWhileTheLobbyShowsTheGame)
{
    int port = FreeWizardPort();
    ASSERT_NE(0, port);
    HostAs("Hal", "Cool Quarv Server", port);
    EXPECT_EQ(HexOf(AnswerBytes(1, port, 1, 4, "Cool Quarv Server")), HexOf(AskTheNetwork(1)));

    SOCKET client = ConnectToPort(port);
    ASSERT_EQ(Hex(Opening(1)), Hex(ReadBytes(client, 16, 5000)));
    EXPECT_TRUE(PumpUntil([] { return CountConnectedClients() == 1; }));
    EXPECT_EQ(HexOf(AnswerBytes(2, port, 2, 4, "Cool Quarv Server")), HexOf(AskTheNetwork(2))) << "the count moves";

    switch (GetParam().way) {
    case BY_BACK:
        Press(PSBTN_BACK);
        ASSERT_EQ(PAGE_SERVER_SETUP, CurrentIndex());
        break;
    case BY_START_GAME:
        Press(PSBTN_FINISH);
        ASSERT_TRUE(Ended());
        break;
    case BY_CLOSING_THE_SHEET:
        DestroyWindow(sheet_);
        break;
    }
    EXPECT_EQ("", HexOf(AskTheNetwork(3)));
    closesocket(client);
}

INSTANTIATE_TEST_SUITE_P(Leaving, HostAnswers,
                         ::testing::Values(LeaveCase{"Back", BY_BACK}, LeaveCase{"StartGame", BY_START_GAME},
                                           LeaveCase{"ClosingTheSheet", BY_CLOSING_THE_SHEET}),
                         [](const ::testing::TestParamInfo<LeaveCase>& info) { return std::string(info.param.name); });

TEST_F(LanListPageTest, TheHostAnswersAgainWithItsNewNameWhenItComesBackToTheLobby)
{
    int port = FreeWizardPort();
    HostAs("Hal", "Cool Quarv Server", port);
    Press(PSBTN_BACK);
    ASSERT_EQ(PAGE_SERVER_SETUP, CurrentIndex());
    SetText(IDC_SERVER_NAME, "Renamed");
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_SERVER_LOBBY, CurrentIndex());
    EXPECT_EQ(HexOf(AnswerBytes(4, port, 1, 4, "Renamed")), HexOf(AskTheNetwork(4)));
}
