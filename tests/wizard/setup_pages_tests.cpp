// The set-up pages driven as a player drives them: radio buttons clicked, edits typed into,
// Next and Back pressed; then the page the sheet shows, the buttons it offers, the message
// boxes it raises and what it stored in NetOptions.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "lobby_bytes.h"
#include "message_box_watcher.h"
#include "resource.h"
#include "wizard_ports.h"
#include "wizard_sheet.h"

namespace {

const DWORD NONE = 0;
const DWORD BACK = PSWIZB_BACK;
const DWORD NEXT = PSWIZB_NEXT;
const DWORD BACK_NEXT = PSWIZB_BACK | PSWIZB_NEXT;

// One step of a player on a page: click a control, or type a whole text into an edit.
struct Step {
    int id;
    const char* text;  // nullptr: a click
};

class SetupPageTest : public WizardSheetTest {
protected:
    void Do(const std::vector<Step>& steps)
    {
        for (const Step& step : steps) {
            if (step.text)
                SetText(step.id, step.text);
            else
                Click(step.id);
        }
    }
};

struct ButtonCase {
    const char* name;
    std::vector<Step> steps;
    DWORD buttons;
};
void PrintTo(const ButtonCase& c, std::ostream* out) { *out << c.name; }
std::string CaseName(const ::testing::TestParamInfo<ButtonCase>& info) { return info.param.name; }

class HostJoinButtons : public SetupPageTest, public ::testing::WithParamInterface<ButtonCase> {};
class DirectConnectButtons : public SetupPageTest, public ::testing::WithParamInterface<ButtonCase> {};
class ServerSetupButtons : public SetupPageTest, public ::testing::WithParamInterface<ButtonCase> {};

} // namespace

TEST_F(SetupPageTest, TheSheetOpensOnTheHostJoinPageWithNoButtons)
{
    EXPECT_EQ(PAGE_HOST_JOIN, CurrentIndex());
    EXPECT_EQ(NONE, Buttons());
    char caption[64] = {};
    GetWindowTextA(sheet_, caption, sizeof caption);
    EXPECT_STREQ("Q.U.A.R.V. Multiplayer Options", caption);
    EXPECT_EQ(nullptr, PageAt(PAGE_WELCOME)) << "the welcome page is never shown";
}

TEST_P(HostJoinButtons, NextOnlyWithARoleAndAName)
{
    Do(GetParam().steps);
    EXPECT_EQ(GetParam().buttons, Buttons());
    EXPECT_EQ(PAGE_HOST_JOIN, CurrentIndex());
}

INSTANTIATE_TEST_SUITE_P(Steps, HostJoinButtons, ::testing::Values(
    ButtonCase{"NameOnly", {{IDC_PLAYER_NAME, "Ann"}}, NONE},
    ButtonCase{"HostOnly", {{IDC_HOST_GAME, nullptr}}, NONE},
    ButtonCase{"JoinOnly", {{IDC_JOIN_GAME, nullptr}}, NONE},
    ButtonCase{"HostThenName", {{IDC_HOST_GAME, nullptr}, {IDC_PLAYER_NAME, "Ann"}}, NEXT},
    ButtonCase{"NameThenJoin", {{IDC_PLAYER_NAME, "Ann"}, {IDC_JOIN_GAME, nullptr}}, NEXT},
    ButtonCase{"NameCleared", {{IDC_JOIN_GAME, nullptr}, {IDC_PLAYER_NAME, "Ann"}, {IDC_PLAYER_NAME, ""}}, NONE}),
    CaseName);

TEST_F(SetupPageTest, TheRoleAndTheNameAreStoredAndTheNameHoldsSixteenCharacters)
{
    Click(IDC_HOST_GAME);
    EXPECT_EQ(1u, g_NetOptions.bHost);
    EXPECT_EQ(1u, g_NetOptions.bRoleChosen);
    Click(IDC_JOIN_GAME);
    EXPECT_EQ(0u, g_NetOptions.bHost);
    EXPECT_EQ(1u, g_NetOptions.bRoleChosen);

    Type(IDC_PLAYER_NAME, "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ("ABCDEFGHIJKLMNOP", Text(IDC_PLAYER_NAME));
    EXPECT_STREQ("ABCDEFGHIJKLMNOP", g_NetOptions.szPlayerName);
}

TEST_F(SetupPageTest, HostingGoesToServerSetUpAndJoiningToTheConnectionMethod)
{
    Click(IDC_HOST_GAME);
    SetText(IDC_PLAYER_NAME, "Ann");
    Press(PSBTN_NEXT);
    EXPECT_EQ(PAGE_SERVER_SETUP, CurrentIndex());
    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_HOST_JOIN, CurrentIndex());
    EXPECT_EQ(NEXT, Buttons()) << "the page shows again with what was chosen";

    Click(IDC_JOIN_GAME);
    Press(PSBTN_NEXT);
    EXPECT_EQ(PAGE_CONNECT_METHOD, CurrentIndex());
    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_HOST_JOIN, CurrentIndex());
}

TEST_F(SetupPageTest, TheMethodPageDisablesNextOnEveryShowingUntilAMethodIsClicked)
{
    Click(IDC_JOIN_GAME);
    SetText(IDC_PLAYER_NAME, "Ann");
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_CONNECT_METHOD, CurrentIndex());
    EXPECT_EQ(BACK, Buttons());
    Click(IDC_METHOD_DIRECT);
    EXPECT_EQ(BACK_NEXT, Buttons());

    Press(PSBTN_BACK);
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_CONNECT_METHOD, CurrentIndex());
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(Page(), IDC_METHOD_DIRECT));
    EXPECT_EQ(BACK, Buttons());
}

TEST_F(SetupPageTest, EachMethodLeadsToItsPageAndBackToTheMethodPage)
{
    struct MethodCase {
        const char* name;
        int command;
        int method;
        int page;
        DWORD buttons;
    };
    const MethodCase cases[] = {
        {"direct", IDC_METHOD_DIRECT, CONNECT_DIRECT, PAGE_DIRECT_CONNECT, BACK},
        {"LAN", IDC_METHOD_LAN, CONNECT_LAN, PAGE_LAN_LIST, BACK},
        {"Internet", IDC_METHOD_INTERNET, CONNECT_INTERNET, PAGE_INTERNET_LIST, BACK},
    };
    Click(IDC_JOIN_GAME);
    SetText(IDC_PLAYER_NAME, "Ann");
    Press(PSBTN_NEXT);
    for (const MethodCase& c : cases) {
        ASSERT_EQ(PAGE_CONNECT_METHOD, CurrentIndex()) << c.name;
        Click(c.command);
        EXPECT_EQ(BACK_NEXT, Buttons()) << c.name;
        EXPECT_EQ(c.method, g_NetOptions.nConnectMethod) << c.name;
        Press(PSBTN_NEXT);
        EXPECT_EQ(c.page, CurrentIndex()) << c.name;
        EXPECT_EQ(c.buttons, Buttons()) << c.name;
        Press(PSBTN_BACK);
        EXPECT_EQ(PAGE_CONNECT_METHOD, CurrentIndex()) << c.name;
    }
}

TEST_F(SetupPageTest, NextWithoutAMethodAsksForOneAndGoesOnAsDirect)
{
    Click(IDC_JOIN_GAME);
    SetText(IDC_PLAYER_NAME, "Ann");
    Press(PSBTN_NEXT);
    ASSERT_EQ(BACK, Buttons());

    MessageBoxWatcher boxes;
    Press(PSBTN_NEXT);
    ASSERT_EQ(1u, boxes.Seen().size());
    EXPECT_EQ("INFORMATION", boxes.Seen()[0].caption);
    EXPECT_EQ("Please select an option first", boxes.Seen()[0].text);
    EXPECT_EQ(PAGE_DIRECT_CONNECT, CurrentIndex());
}

TEST_P(DirectConnectButtons, AddressAndPortInEitherOrder)
{
    JoinAs("Ann");
    EXPECT_EQ(BACK, Buttons());
    Do(GetParam().steps);
    EXPECT_EQ(GetParam().buttons, Buttons());
}

INSTANTIATE_TEST_SUITE_P(Steps, DirectConnectButtons, ::testing::Values(
    ButtonCase{"AddressAlone", {{IDC_ADDRESS, "127.0.0.1"}}, BACK},
    ButtonCase{"PortAlone", {{IDC_PORT, "2000"}}, BACK},
    ButtonCase{"AddressThenPort", {{IDC_ADDRESS, "127.0.0.1"}, {IDC_PORT, "2000"}}, BACK_NEXT},
    ButtonCase{"PortThenAddress", {{IDC_PORT, "2000"}, {IDC_ADDRESS, "quarv.example.net"}}, BACK_NEXT},
    ButtonCase{"LowestPort", {{IDC_ADDRESS, "h"}, {IDC_PORT, "1"}}, BACK_NEXT},
    ButtonCase{"HighestPort", {{IDC_ADDRESS, "h"}, {IDC_PORT, "36000"}}, BACK_NEXT},
    ButtonCase{"AddressCleared", {{IDC_PORT, "2000"}, {IDC_ADDRESS, "h"}, {IDC_ADDRESS, ""}}, BACK}),
    CaseName);

TEST_F(SetupPageTest, APortOutsideTheRangeShowsTheMessageAndDisablesNext)
{
    struct RangeCase {
        const char* typed;
        int stored;
    };
    const RangeCase cases[] = {{"0", 0}, {"36001", 36001}, {"", 0}, {"-5", -5}, {"abc", 0}};
    JoinAs("Ann");
    SetText(IDC_ADDRESS, "127.0.0.1");
    MessageBoxWatcher boxes;
    size_t seen = 0;
    for (const RangeCase& c : cases) {
        SetText(IDC_PORT, "2000");
        ASSERT_EQ(BACK_NEXT, Buttons()) << c.typed;
        SetText(IDC_PORT, c.typed);
        EXPECT_EQ(BACK, Buttons()) << c.typed;
        EXPECT_EQ(c.stored, g_NetOptions.nServerPort) << c.typed;
        ASSERT_EQ(++seen, boxes.Seen().size()) << c.typed;
        EXPECT_EQ("Information", boxes.Seen().back().caption) << c.typed;
        EXPECT_EQ("Value Must be between 1 and 36000", boxes.Seen().back().text) << c.typed;
    }
}

TEST_F(SetupPageTest, AFailedConnectionKeepsThePageWithOnlyBack)
{
    int port = FreeWizardPort();
    ASSERT_NE(0, port);
    JoinAs("Ann");
    SetText(IDC_ADDRESS, "127.0.0.1");
    SetText(IDC_PORT, std::to_string(port));

    MessageBoxWatcher boxes;
    Press(PSBTN_NEXT);
    ASSERT_EQ(1u, boxes.Seen().size());
    EXPECT_EQ("Connection Error", boxes.Seen()[0].caption);
    EXPECT_EQ("Unable to connect to server", boxes.Seen()[0].text);
    EXPECT_EQ(PAGE_DIRECT_CONNECT, CurrentIndex());
    EXPECT_EQ(BACK, Buttons());
    EXPECT_EQ("127.0.0.1", Text(IDC_ADDRESS));
    EXPECT_EQ(std::to_string(port), Text(IDC_PORT));
    EXPECT_STRNE("", g_NetOptions.szClientError) << "the reason is kept";

    SetText(IDC_ADDRESS, "localhost");
    EXPECT_EQ(BACK_NEXT, Buttons());
}

TEST_F(SetupPageTest, AHostThatAnswersLeadsToTheClientLobbyAndBackReturns)
{
    int port = 0;
    SOCKET listener = ListenOnWizardPort(&port);
    ASSERT_NE(INVALID_SOCKET, listener);
    SOCKET hostSide = INVALID_SOCKET;
    std::thread host([&] {
        hostSide = accept(listener, nullptr, nullptr);
        SendRaw(hostSide, Opening(2));
    });
    JoinAs("Ann");
    SetText(IDC_PORT, std::to_string(port));
    SetText(IDC_ADDRESS, "127.0.0.1");
    Press(PSBTN_NEXT);
    host.join();

    EXPECT_EQ(PAGE_CLIENT_LOBBY, CurrentIndex());
    EXPECT_EQ(BACK, Buttons());
    EXPECT_TRUE(PumpUntil([] { return g_NetOptions.nPlayerId == 2; })) << "player number " << g_NetOptions.nPlayerId;
    EXPECT_EQ(HandleField(Page()), g_NetOptions.hClientLobbyPage);
    EXPECT_EQ(Page(), GetClientLobbyWnd());

    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_DIRECT_CONNECT, CurrentIndex());
    EXPECT_EQ(BACK, Buttons());
    EXPECT_NE(0u, GetClientSocket()) << "going back keeps the connection";
    closesocket(hostSide);
    closesocket(listener);
}

TEST_F(SetupPageTest, BackFromTheClientLobbyAfterTheInternetListReturnsToThatList)
{
    g_NetOptions.nConnectMethod = CONNECT_INTERNET;
    ShowPage(PAGE_CLIENT_LOBBY);
    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_INTERNET_LIST, CurrentIndex());
    EXPECT_EQ(BACK, Buttons());
    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_CONNECT_METHOD, CurrentIndex());
}

TEST_P(ServerSetupButtons, NameAndPortEnableNext)
{
    Click(IDC_HOST_GAME);
    SetText(IDC_PLAYER_NAME, "Ann");
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_SERVER_SETUP, CurrentIndex());
    EXPECT_EQ(BACK, Buttons());
    MessageBoxWatcher boxes;
    Do(GetParam().steps);
    EXPECT_EQ(GetParam().buttons, Buttons());
}

INSTANTIATE_TEST_SUITE_P(Steps, ServerSetupButtons, ::testing::Values(
    ButtonCase{"NameAlone", {{IDC_SERVER_NAME, "Cool Quarv Server"}}, BACK},
    ButtonCase{"PortAlone", {{IDC_PORT, "2000"}}, BACK},
    ButtonCase{"NameThenPort", {{IDC_SERVER_NAME, "S"}, {IDC_PORT, "2000"}}, BACK_NEXT},
    ButtonCase{"PortThenName", {{IDC_PORT, "36000"}, {IDC_SERVER_NAME, "S"}}, BACK_NEXT},
    ButtonCase{"NameCleared", {{IDC_PORT, "2000"}, {IDC_SERVER_NAME, "S"}, {IDC_SERVER_NAME, ""}}, BACK},
    ButtonCase{"PortTooHigh", {{IDC_SERVER_NAME, "S"}, {IDC_PORT, "2000"}, {IDC_PORT, "36001"}}, BACK}),
    CaseName);

TEST_F(SetupPageTest, TheServerPortRangeMessageAndThePublishChoice)
{
    Click(IDC_HOST_GAME);
    SetText(IDC_PLAYER_NAME, "Ann");
    Press(PSBTN_NEXT);
    SetText(IDC_SERVER_NAME, "S");
    SetText(IDC_PORT, "2000");
    MessageBoxWatcher boxes;
    SetText(IDC_PORT, "");
    ASSERT_EQ(1u, boxes.Seen().size());
    EXPECT_EQ("Information", boxes.Seen()[0].caption);
    EXPECT_EQ("Value Must be between 1 and 36000", boxes.Seen()[0].text);
    EXPECT_EQ(BACK, Buttons());
    EXPECT_EQ(0, g_NetOptions.nHostPort);

    Click(IDC_PUBLISH_SERVER);
    EXPECT_EQ(1u, g_NetOptions.bPublishServer);
    Click(IDC_PUBLISH_SERVER);
    EXPECT_EQ(0u, g_NetOptions.bPublishServer);
}

TEST_F(SetupPageTest, NextOnTheServerSetUpStartsTheServerAndBackGoesToHostJoin)
{
    int port = FreeWizardPort();
    HostAs("Ann", "Cool Quarv Server", port);
    EXPECT_STREQ("Cool Quarv Server", g_NetOptions.szServerName);
    EXPECT_EQ(port, g_NetOptions.nHostPort);

    SOCKET client = ConnectToPort(port);
    ASSERT_NE(INVALID_SOCKET, client) << "the server listens on port " << port;
    EXPECT_EQ(Opening(1), ReadBytes(client, 16, 5000));
    closesocket(client);

    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_SERVER_SETUP, CurrentIndex());
    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_HOST_JOIN, CurrentIndex());
    EXPECT_EQ(NEXT, Buttons());
}
