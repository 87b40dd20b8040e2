// The two lobby pages: SendChatLine on its own, then each page woken by what arrives in its
// inbox, the client page from a host that speaks the wire bytes, the server page with the
// real server and raw clients; and the start of the game on both sides.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "chat_line.h"
#include "lobby_bytes.h"
#include "message_box_watcher.h"
#include "resource.h"
#include "wizard_ports.h"
#include "wizard_sheet.h"

namespace {

const size_t RECORD_SIZE = 1332;

int Int32At(const std::vector<unsigned char>& bytes, size_t offset)
{
    return static_cast<int>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                            static_cast<unsigned>(bytes[offset + 3]) << 24);
}

std::string TextAt(const std::vector<unsigned char>& bytes, size_t offset)
{
    return std::string(reinterpret_cast<const char*>(&bytes[offset]));
}

NetMessage PlayerNotice(int type, int player)
{
    NetMessage message = {};
    message.nType = type;
    message.nLength = 4;
    message.pData = static_cast<char*>(std::malloc(4));
    std::memcpy(message.pData, &player, 4);
    return message;
}

class LobbyPageTest : public WizardSheetTest {
protected:
    // Delivers messages the way the network threads do: queued, then a posted wake-up.
    void Deliver(const std::vector<NetMessage>& messages)
    {
        for (const NetMessage& message : messages)
            PushMessage(LobbyInbox, message);
        PostMessageA(Page(), WM_USER, 0, 0);
        Pump();
    }

    // The client lobby as reached through the direct connection to a host whose side of
    // the connection the test holds.
    void JoinHost(const std::string& name)
    {
        int port = 0;
        listener_ = ListenOnWizardPort(&port);
        ASSERT_NE(INVALID_SOCKET, listener_);
        std::thread host([&] {
            hostSide_ = accept(listener_, nullptr, nullptr);
            SendRaw(hostSide_, Opening(2));
        });
        JoinAs(name);
        SetText(IDC_ADDRESS, "127.0.0.1");
        SetText(IDC_PORT, std::to_string(port));
        Press(PSBTN_NEXT);
        host.join();
        ASSERT_EQ(PAGE_CLIENT_LOBBY, CurrentIndex());
        ASSERT_TRUE(PumpUntil([] { return g_NetOptions.nPlayerId == 2; }));
    }

    void TearDown() override
    {
        for (SOCKET s : clients_)
            closesocket(s);
        if (hostSide_ != INVALID_SOCKET)
            closesocket(hostSide_);
        if (listener_ != INVALID_SOCKET)
            closesocket(listener_);
        WizardSheetTest::TearDown();
    }

    // A raw client of the test's server; reads its opening.
    SOCKET ConnectClient(int port, int expectedPlayer)
    {
        SOCKET s = ConnectToPort(port);
        EXPECT_NE(INVALID_SOCKET, s);
        EXPECT_EQ(Opening(expectedPlayer), ReadBytes(s, 16, 5000));
        clients_.push_back(s);
        return s;
    }

    // Reads frames until one with the given bytes arrives.
    bool Receives(SOCKET s, const Bytes& expected)
    {
        Frame frame = {};
        while (ReadFrame(s, &frame, 5000))
            if (frame.raw == expected)
                return true;
        return false;
    }

    SOCKET listener_ = INVALID_SOCKET;
    SOCKET hostSide_ = INVALID_SOCKET;
    std::vector<SOCKET> clients_;
};

struct SendCase {
    const char* name;
    int playerId;
    const char* transcriptBefore;
    const char* input;
    int byButton;
    const char* sent;  // the payload's text, nullptr when nothing is sent
    const char* transcriptAfter;
    const char* inputAfter;
};
void PrintTo(const SendCase& c, std::ostream* out) { *out << c.name; }

class SendChatLineCases : public LobbyPageTest, public ::testing::WithParamInterface<SendCase> {};

} // namespace

TEST_P(SendChatLineCases, ShowsTheLineFlushLeftAndQueuesItForTheHost)
{
    const SendCase& c = GetParam();
    std::strcpy(g_NetOptions.szPlayerName, "Ann");
    g_NetOptions.nPlayerId = c.playerId;
    ShowPage(PAGE_CLIENT_LOBBY);
    SetText(IDC_TRANSCRIPT, c.transcriptBefore);
    SetText(IDC_CHAT_INPUT, c.input);

    EXPECT_EQ(1, SendChatLine(Page(), c.byButton));

    EXPECT_EQ(c.transcriptAfter, Text(IDC_TRANSCRIPT));
    EXPECT_EQ(c.inputAfter, Text(IDC_CHAT_INPUT));
    if (c.sent) {
        ASSERT_EQ(1, CountMessages(LobbyOutbox));
        QueuedMessage message = TakeMessage(LobbyOutbox);
        EXPECT_EQ(MSG_CHAT + c.playerId, message.type);
        EXPECT_EQ(std::string(c.sent) + '\0', message.payload);
        EXPECT_EQ(static_cast<int>(std::strlen(c.sent)) + 1, message.length);
    } else {
        EXPECT_EQ(0, CountMessages(LobbyOutbox));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SendChatLineCases, ::testing::Values(
    SendCase{"ButtonSends", 2, "", "hello", 1, "Ann->hello\r\n", "Ann->hello\r\n", ""},
    SendCase{"EnterAtTheEndSends", 2, "", "hello\r\n", 0, "Ann->hello\r\n", "Ann->hello\r\n", ""},
    SendCase{"TypingWithoutEnterSendsNothing", 2, "", "hello", 0, nullptr, "", "hello"},
    SendCase{"LineBreakInTheMiddleSendsNothing", 2, "", "hel\r\nlo", 0, nullptr, "", "hel\r\nlo"},
    SendCase{"ButtonSendsALineWithABreakInside", 2, "", "hel\r\nlo", 1, "Ann->hel\r\nlo\r\n",
             "Ann->hel\r\nlo\r\n", ""},
    SendCase{"EmptyInputSendsNothing", 2, "", "", 1, nullptr, "", ""},
    SendCase{"AddedAfterOthersLines", 1, "   Bob->hi\r\n", "yo", 1, "Ann->yo\r\n", "   Bob->hi\r\nAnn->yo\r\n", ""},
    SendCase{"TheHostSendsAsPlayerZero", 0, "", "go\r\n", 0, "Ann->go\r\n", "Ann->go\r\n", ""}),
    [](const ::testing::TestParamInfo<SendCase>& info) { return std::string(info.param.name); });

TEST_F(LobbyPageTest, EnterAndTheButtonSendAsThePlayerTypes)
{
    std::strcpy(g_NetOptions.szPlayerName, "Ann");
    g_NetOptions.nPlayerId = 1;
    ShowPage(PAGE_CLIENT_LOBBY);

    Type(IDC_CHAT_INPUT, "ab");
    MoveCaret(IDC_CHAT_INPUT, 1);
    Type(IDC_CHAT_INPUT, "\r");
    EXPECT_EQ("a\r\nb", Text(IDC_CHAT_INPUT));
    EXPECT_EQ(0, CountMessages(LobbyOutbox)) << "a line break inside the text sends nothing";

    MoveCaret(IDC_CHAT_INPUT, -1);
    Type(IDC_CHAT_INPUT, "\r");
    ASSERT_EQ(1, CountMessages(LobbyOutbox));
    EXPECT_EQ(std::string("Ann->a\r\nb\r\n") + '\0', TakeMessage(LobbyOutbox).payload);
    EXPECT_EQ("", Text(IDC_CHAT_INPUT));

    Type(IDC_CHAT_INPUT, "c");
    Click(IDC_SEND_MESSAGE);
    ASSERT_EQ(1, CountMessages(LobbyOutbox));
    EXPECT_EQ(std::string("Ann->c\r\n") + '\0', TakeMessage(LobbyOutbox).payload);
    EXPECT_EQ("Ann->a\r\nb\r\nAnn->c\r\n", Text(IDC_TRANSCRIPT));
}

TEST_F(LobbyPageTest, TheClientPageShowsOthersLinesIndentedAndSkipsItsOwnAndTheNotices)
{
    JoinHost("Ann");
    std::string before = Text(IDC_TRANSCRIPT);
    // Everything a host relays to player 2, in the wire bytes of the protocol.
    ASSERT_TRUE(SendRaw(hostSide_, Joined(2) + ChatFrame(1, "Bob->hi") + ChatFrame(2, "Ann->mine") +
                                       Left(3) + ChatFrame(3, "Cid->yo")));
    EXPECT_TRUE(PumpUntil([&] { return Text(IDC_TRANSCRIPT).find("Cid") != std::string::npos; }));
    EXPECT_EQ(before + "   Bob->hi\r\n   Cid->yo\r\n", Text(IDC_TRANSCRIPT));
    EXPECT_EQ(2, g_NetOptions.nPlayerId);
    EXPECT_FALSE(quitSeen_);
}

TEST_F(LobbyPageTest, ThePlayerNumberFromTheHostDecidesWhichLinesAreOwn)
{
    ShowPage(PAGE_CLIENT_LOBBY);
    Deliver({PlayerNotice(MSG_PLAYER_ID, 3), ChatMessage(MSG_CHAT + 3, "Ann->mine"),
             ChatMessage(MSG_CHAT + 2, "Bob->hi")});
    EXPECT_EQ(3, g_NetOptions.nPlayerId);
    EXPECT_EQ("   Bob->hi\r\n", Text(IDC_TRANSCRIPT));
}

TEST_F(LobbyPageTest, ServerFullOnAnOpenConnectionShowsTheMessageAndEndsTheConnection)
{
    JoinHost("Ann");
    MessageBoxWatcher boxes;
    ASSERT_TRUE(SendRaw(hostSide_, SERVER_FULL));
    ASSERT_TRUE(PumpUntil([&] { return boxes.Seen().size() == 1 && GetClientSocket() == 0; }));
    EXPECT_EQ("Error", boxes.Seen()[0].caption);
    EXPECT_EQ("SERVER IS FULL", boxes.Seen()[0].text);
    EXPECT_TRUE(ConnectionEnds(hostSide_, 5000));
    EXPECT_EQ(PAGE_CLIENT_LOBBY, CurrentIndex());
}

TEST_F(LobbyPageTest, TheStartSignalWritesTheClientsFileAndEndsTheWizard)
{
    JoinHost("Ann");
    ASSERT_TRUE(SendRaw(hostSide_, START_SIGNAL));
    ASSERT_TRUE(PumpUntil([&] { return quitSeen_; }));
    EXPECT_EQ(1, g_bStartGame);

    std::vector<unsigned char> bytes = ReadFileBytes(folder_.File("netoptions.bin"));
    ASSERT_EQ(RECORD_SIZE, bytes.size());
    EXPECT_EQ(0, Int32At(bytes, 4)) << "bHost";
    EXPECT_EQ("Ann", TextAt(bytes, 8));
    EXPECT_EQ("127.0.0.1", TextAt(bytes, 264));
    EXPECT_EQ(2, Int32At(bytes, 1328)) << "nPlayerId";
    EXPECT_EQ(0, Int32At(bytes, 1316)) << "nPlayers";
    EXPECT_EQ(CONNECT_DIRECT, Int32At(bytes, 1324));
    EXPECT_EQ(static_cast<int>(HandleField(Page())), Int32At(bytes, 784)) << "hClientLobbyPage";
}

TEST_F(LobbyPageTest, MessagesAfterTheStartSignalStayQueued)
{
    ShowPage(PAGE_CLIENT_LOBBY);
    NetMessage start = {};
    start.nType = MSG_START_GAME;
    Deliver({start, ChatMessage(MSG_CHAT + 1, "Bob->late")});
    EXPECT_TRUE(quitSeen_);
    EXPECT_EQ(1, CountMessages(LobbyInbox));
    EXPECT_EQ("", Text(IDC_TRANSCRIPT));
    EXPECT_TRUE(FileExists(folder_.File("netoptions.bin")));
}

TEST_F(LobbyPageTest, TheHostCountsClientsOnlyAndRelaysChat)
{
    int port = FreeWizardPort();
    HostAs("Hal", "Cool Quarv Server", port);
    EXPECT_EQ(static_cast<DWORD>(PSWIZB_BACK | PSWIZB_FINISH), Buttons());
    EXPECT_EQ("Numbers of Players Connected: ", Text(IDC_PLAYER_COUNT));

    SOCKET first = ConnectClient(port, 1);
    EXPECT_TRUE(PumpUntil([&] { return Text(IDC_PLAYER_COUNT) == "Number of Players Connected: 1"; }))
        << Text(IDC_PLAYER_COUNT);
    EXPECT_EQ(1, g_NetOptions.nPlayers);
    SOCKET second = ConnectClient(port, 2);
    EXPECT_TRUE(PumpUntil([&] { return Text(IDC_PLAYER_COUNT) == "Number of Players Connected: 2"; }))
        << Text(IDC_PLAYER_COUNT);

    ASSERT_TRUE(SendRaw(second, ChatFrame(2, "Bea->hey")));
    EXPECT_TRUE(PumpUntil([&] { return Text(IDC_TRANSCRIPT) == "   Bea->hey\r\n"; })) << Text(IDC_TRANSCRIPT);
    EXPECT_TRUE(Receives(first, ChatFrame(2, "Bea->hey")));

    Type(IDC_CHAT_INPUT, "welcome\r");
    EXPECT_EQ("   Bea->hey\r\nHal->welcome\r\n", Text(IDC_TRANSCRIPT));
    EXPECT_TRUE(Receives(first, ChatFrame(0, "Hal->welcome")));
    EXPECT_TRUE(Receives(second, ChatFrame(0, "Hal->welcome")));
    Pump();
    EXPECT_EQ("   Bea->hey\r\nHal->welcome\r\n", Text(IDC_TRANSCRIPT)) << "the host's own line comes back once only";

    closesocket(first);
    clients_.erase(clients_.begin());
    EXPECT_TRUE(PumpUntil([&] { return Text(IDC_PLAYER_COUNT) == "Number of Players Connected: 1"; }))
        << Text(IDC_PLAYER_COUNT);

    // The leave notice for player 0 that a host queues at shutdown changes nothing.
    SetText(IDC_PLAYER_COUNT, "unchanged");
    Deliver({PlayerNotice(MSG_PLAYER_LEFT, 0)});
    EXPECT_EQ("unchanged", Text(IDC_PLAYER_COUNT));
}

TEST_F(LobbyPageTest, StartGameSignalsEveryClientAndRecordsClientsPlusOne)
{
    int port = FreeWizardPort();
    HostAs("Hal", "Cool Quarv Server", port);
    HWND lobby = Page();
    char finishText[32] = {};
    GetWindowTextA(GetDlgItem(sheet_, SHEET_FINISH_BUTTON), finishText, sizeof finishText);
    EXPECT_STREQ("Start Game", finishText);
    EXPECT_EQ(static_cast<DWORD>(PSWIZB_BACK | PSWIZB_FINISH), Buttons());

    SOCKET first = ConnectClient(port, 1);
    SOCKET second = ConnectClient(port, 2);
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_PLAYER_COUNT) == "Number of Players Connected: 2"; }));

    Press(PSBTN_FINISH);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(1, g_bStartGame);
    EXPECT_TRUE(Receives(first, START_SIGNAL));
    EXPECT_TRUE(Receives(second, START_SIGNAL));

    std::vector<unsigned char> bytes = ReadFileBytes(folder_.File("netoptions.bin"));
    ASSERT_EQ(RECORD_SIZE, bytes.size());
    EXPECT_EQ(1, Int32At(bytes, 4)) << "bHost";
    EXPECT_EQ("Hal", TextAt(bytes, 8));
    EXPECT_EQ("Cool Quarv Server", TextAt(bytes, 796));
    EXPECT_EQ(port, Int32At(bytes, 1052)) << "nHostPort";
    EXPECT_EQ(3, Int32At(bytes, 1316)) << "nPlayers: two clients and the host";
    EXPECT_EQ(0, Int32At(bytes, 1328)) << "nPlayerId";
    EXPECT_EQ(static_cast<int>(HandleField(lobby)), Int32At(bytes, 1312)) << "hServerLobbyPage";
}

TEST_F(LobbyPageTest, StartGameDoesNotWaitForeverWhenTheServerCouldNotStart)
{
    int port = 0;
    SOCKET taken = ListenOnWizardPort(&port);
    ASSERT_NE(INVALID_SOCKET, taken);
    HostAs("Hal", "S", port);
    EXPECT_STREQ("Error in InitializeServer: bind()", g_NetOptions.szServerError);

    DWORD start = GetTickCount();
    Press(PSBTN_FINISH);
    EXPECT_TRUE(Ended());
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(RECORD_SIZE, ReadFileBytes(folder_.File("netoptions.bin")).size());
    closesocket(taken);
}
