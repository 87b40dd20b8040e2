// The Internet list page and the server lobby's publishing, driven as a player drives them
// in the real wizard sheet, against a directory peer on 127.0.0.1 that writes and reads the
// bytes itself and lobby hosts that speak the wire bytes: what the page shows, what it asks
// the directory, where it connects and when it asks nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "directory_peer.h"
#include "internet_list_page.h"
#include "lobby_host_stand_in.h"
#include "loopback_peer.h"
#include "resource.h"
#include "server_directory.h"
#include "wizard_ports.h"
#include "wizard_sheet.h"

namespace {

const char* const REPLY_HEADER = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
const char* const LIST_REQUEST = "GET /cgi-bin/quarvcgiread.exe HTTP/1.0\nHost: 127.0.0.1\r\n\r\n";
const char* const FIRST_STATUS = "Select a server from the list then press \"Connect to Server!\"";
const char* const DOWNLOADING = "Trying to Download the List of Servers...";
const char* const DOWNLOADED = "Trying to Download the List of Servers... SUCCESS!";
const char* const NOT_DOWNLOADED = "Trying to Download the List of Servers... ERROR!";
const char* const NO_SELECTION = "Error! Select a Server from the List first";
const DWORD BACK = PSWIZB_BACK;

void PutText(std::string* bytes, size_t offset, const std::string& text)
{
    bytes->replace(offset, text.size(), text);
}

void PutInt32(std::string* bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        (*bytes)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

int32_t Int32At(const std::string& bytes, size_t offset)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

// One listed host as the directory sends it.
struct Listed {
    int index;
    std::string address;
    std::string name;
    uint32_t port;
};

// A whole 20-entry list, every byte not listed zero.
std::string ListBody(const std::vector<Listed>& hosts)
{
    std::string body(5280, '\0');
    for (const Listed& host : hosts) {
        size_t entry = static_cast<size_t>(host.index) * 264;
        PutText(&body, entry, host.address);
        PutText(&body, entry + 80, host.name);
        PutInt32(&body, entry + 160, 1);
        PutInt32(&body, entry + 164, 1);
        PutInt32(&body, entry + 252, 1);
        PutInt32(&body, entry + 256, 4);
        PutInt32(&body, entry + 260, host.port);
    }
    return body;
}

std::string ListReply(const std::vector<Listed>& hosts)
{
    return REPLY_HEADER + ListBody(hosts);
}

// Twenty lines: the names, and empty lines for the rest.
std::vector<std::string> Lines(std::vector<std::string> names)
{
    names.resize(20);
    return names;
}

// What a window shows, pixel for pixel, read from its own device context: what has been
// painted into it, whenever the system puts that on the screen.
std::vector<uint32_t> WindowPixels(HWND window)
{
    RECT r = {};
    GetClientRect(window, &r);
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = r.right;
    info.bmiHeader.biHeight = -r.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, r.right, r.bottom, source, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + r.right * r.bottom);
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return pixels;
}

class InternetListPageTest : public WizardSheetTest {
protected:
    void SetUp() override
    {
        WizardSheetTest::SetUp();
        g_ServerList = ServerList();
        g_bSkipListRefresh = 0;
        g_szDirectoryHost = "127.0.0.1";
        g_nDirectoryPort = directory_.Port();
    }

    // Join, the Internet method, Next: the way a player reaches the list.
    void GoToList()
    {
        Click(IDC_JOIN_GAME);
        SetText(IDC_PLAYER_NAME, "Ann");
        Press(PSBTN_NEXT);
        Click(IDC_METHOD_INTERNET);
        Press(PSBTN_NEXT);
    }


    std::string Status() { return GetText(GetDlgItem(PageAt(PAGE_INTERNET_LIST), IDC_INTERNET_STATUS)); }

    static std::string GetText(HWND control)
    {
        char text[512] = {};
        GetWindowTextA(control, text, sizeof text);
        return text;
    }

    size_t RequestCount() { return directory_.Requests().size(); }

    DirectoryPeer directory_{ListReply({})};
};

struct DownloadCase {
    const char* name;
    std::string reply;  // empty: the directory refuses the connection
    const char* status;
    std::vector<std::string> lines;
};

} // namespace

TEST_F(InternetListPageTest, ShowingThePageDownloadsTheListAndShowsEveryEntryInOrder)
{
    // Not in alphabetical order, and a name that fills its whole field without a NUL.
    directory_.Answer(ListReply({{0, "127.0.0.5", "Zeta", 2300}, {1, "127.0.0.6", "Alpha", 2400},
                                 {3, "127.0.0.7", std::string(80, 'N'), 2500}}));
    GoToList();
    ASSERT_EQ(PAGE_INTERNET_LIST, CurrentIndex());
    EXPECT_EQ(BACK, Buttons()) << "Next is never enabled";
    ASSERT_EQ(1u, RequestCount());
    EXPECT_EQ(LIST_REQUEST, directory_.Requests()[0]);
    EXPECT_EQ(DOWNLOADED, Status());
    EXPECT_EQ(Lines({"Zeta", "Alpha", "", std::string(80, 'N')}), ServerListLines(PAGE_INTERNET_LIST));
    EXPECT_EQ(2400, g_ServerList.aEntries[1].nPort);

    SelectServerLine(1);
    EXPECT_EQ("Server Alpha is the current Selection Press \"Connect to Server!\"", Status());
    SelectServerLine(3);
    EXPECT_EQ("Server " + std::string(80, 'N') + " is the current Selection Press \"Connect to Server!\"", Status());

    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_CONNECT_METHOD, CurrentIndex());
    EXPECT_EQ(1u, RequestCount()) << "going back asks nothing";
}

TEST_F(InternetListPageTest, EachRefreshReportsItsDownloadAndAFailedOneKeepsTheOlderNames)
{
    const std::vector<std::string> older = Lines({"Older"});
    const DownloadCase cases[] = {
        {"whole list", ListReply({{0, "127.0.0.5", "First", 2300}, {19, "127.0.0.6", "Last", 2400}}), DOWNLOADED,
         Lines({"First", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "Last"})},
        {"short body", REPLY_HEADER + ListBody({{0, "127.0.0.5", "First", 2300}}).substr(0, 300), DOWNLOADED,
         Lines({"First"})},
        {"all-zero body", ListReply({}), NOT_DOWNLOADED, older},
        {"no body", "HTTP/1.0 200 OK\r\n", NOT_DOWNLOADED, older},
        {"refused", "", NOT_DOWNLOADED, older},
    };
    GoToList();
    RefusingPort refusing;
    for (const DownloadCase& c : cases) {
        g_nDirectoryPort = directory_.Port();
        directory_.Answer(ListReply({{0, "127.0.0.9", "Older", 2000}}));
        Click(IDC_INTERNET_REFRESH);
        ASSERT_EQ(older, ServerListLines(PAGE_INTERNET_LIST)) << c.name;

        directory_.Answer(c.reply);
        if (c.reply.empty())
            g_nDirectoryPort = refusing.Port();
        Click(IDC_INTERNET_REFRESH);
        EXPECT_EQ(c.status, Status()) << c.name;
        EXPECT_EQ(c.lines, ServerListLines(PAGE_INTERNET_LIST)) << c.name;
        if (std::string(c.status) == NOT_DOWNLOADED) {
            const ServerList empty = {};
            EXPECT_EQ(0, std::memcmp(&g_ServerList, &empty, sizeof g_ServerList))
                << c.name << ": the list behind the older names is gone";
        }
        EXPECT_EQ(PAGE_INTERNET_LIST, CurrentIndex()) << c.name;
    }
}

TEST_F(InternetListPageTest, ConnectingByIndexJoinsThatHostAndBackDownloadsAgain)
{
    LobbyHostStandIn host(3);
    RefusingPort elsewhere;
    directory_.Answer(ListReply({{0, "127.0.0.1", "Elsewhere", static_cast<uint32_t>(elsewhere.Port())},
                                 {2, "127.0.0.1", "Hal's game", static_cast<uint32_t>(host.Port())}}));
    GoToList();
    SelectServerLine(2);
    Click(IDC_INTERNET_CONNECT);

    EXPECT_TRUE(host.WaitForConnections(1, 5000));
    EXPECT_EQ(PAGE_CLIENT_LOBBY, CurrentIndex());
    EXPECT_EQ("Trying to Connect to Server Hal's game... SUCCESS!", Status());
    EXPECT_STREQ("127.0.0.1", g_NetOptions.szServerAddress);
    EXPECT_EQ(host.Port(), g_NetOptions.nServerPort);
    EXPECT_TRUE(PumpUntil([] { return g_NetOptions.nPlayerId == 3; })) << "player number " << g_NetOptions.nPlayerId;

    size_t before = RequestCount();
    Press(PSBTN_BACK);
    EXPECT_EQ(PAGE_INTERNET_LIST, CurrentIndex());
    EXPECT_EQ(before + 1, RequestCount()) << "the list shown again is downloaded again";
    EXPECT_NE(0u, GetClientSocket()) << "going back keeps the connection";
}

TEST_F(InternetListPageTest, ALineThatIsNoReachableHostFailsAndThePageStays)
{
    LobbyHostStandIn host(1);
    RefusingPort refusing;
    struct ConnectCase {
        const char* name;
        Listed listed;
    };
    const ConnectCase cases[] = {
        {"refusing host", {0, "127.0.0.1", "Closed", static_cast<uint32_t>(refusing.Port())}},
        {"unused line", {1, "", "", 0}},
        // Cut to 16 bits, this port is the live host's.
        {"port beyond 16 bits", {2, "127.0.0.1", "Wide", static_cast<uint32_t>(host.Port() + 65536)}},
        {"no address", {3, "", "Nowhere", static_cast<uint32_t>(host.Port())}},
    };
    std::vector<Listed> hosts;
    for (const ConnectCase& c : cases)
        hosts.push_back(c.listed);
    directory_.Answer(ListReply(hosts));
    GoToList();
    for (const ConnectCase& c : cases) {
        g_NetOptions.szClientError[0] = '\0';
        SelectServerLine(c.listed.index);
        Click(IDC_INTERNET_CONNECT);
        EXPECT_EQ("Trying to Connect to Server " + c.listed.name + "... ERROR!", Status()) << c.name;
        EXPECT_EQ(PAGE_INTERNET_LIST, CurrentIndex()) << c.name;
        EXPECT_EQ(BACK, Buttons()) << c.name;
        EXPECT_STRNE("", g_NetOptions.szClientError) << c.name << ": the reason is kept";
    }
    EXPECT_FALSE(host.WaitForConnections(1, 300)) << "a listed port was cut, or no address taken as this machine";
}

TEST_F(InternetListPageTest, AfterAFailedRefreshTheOlderNamesCannotBeJoined)
{
    LobbyHostStandIn host(1);
    directory_.Answer(ListReply({{0, "127.0.0.1", "Hal's game", static_cast<uint32_t>(host.Port())}}));
    GoToList();
    directory_.Answer(ListReply({}));
    Click(IDC_INTERNET_REFRESH);
    ASSERT_EQ(NOT_DOWNLOADED, Status());
    ASSERT_EQ(Lines({"Hal's game"}), ServerListLines(PAGE_INTERNET_LIST));

    SelectServerLine(0);
    Click(IDC_INTERNET_CONNECT);
    EXPECT_EQ("Trying to Connect to Server ... ERROR!", Status());
    EXPECT_EQ(PAGE_INTERNET_LIST, CurrentIndex());
    EXPECT_FALSE(host.WaitForConnections(1, 300));
}

TEST_F(InternetListPageTest, ConnectWithoutASelectionAsksForOneAndSkipsTheNextRefresh)
{
    struct SkipCase {
        const char* name;
        bool byButton;  // otherwise by showing the page again
    };
    const SkipCase cases[] = {{"refresh button", true}, {"page shown again", false}};
    directory_.Answer(ListReply({{0, "127.0.0.1", "Hal's game", 2000}}));
    GoToList();
    for (const SkipCase& c : cases) {
        SendDlgItemMessageA(Page(), IDC_SERVER_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        size_t before = RequestCount();
        Click(IDC_INTERNET_CONNECT);
        EXPECT_EQ(NO_SELECTION, Status()) << c.name;
        EXPECT_EQ(PAGE_INTERNET_LIST, CurrentIndex()) << c.name;
        EXPECT_STREQ("", g_NetOptions.szServerAddress) << c.name << ": no connection was tried";
        EXPECT_EQ(0u, GetClientSocket()) << c.name;

        if (c.byButton) {
            Click(IDC_INTERNET_REFRESH);
        } else {
            Press(PSBTN_BACK);
            Click(IDC_METHOD_INTERNET);
            Press(PSBTN_NEXT);
            ASSERT_EQ(PAGE_INTERNET_LIST, CurrentIndex()) << c.name;
        }
        EXPECT_EQ(before, RequestCount()) << c.name << ": the refresh after it is skipped";
        EXPECT_EQ(NO_SELECTION, Status()) << c.name;
        EXPECT_EQ(0, g_bSkipListRefresh) << c.name;

        Click(IDC_INTERNET_REFRESH);
        EXPECT_EQ(before + 1, RequestCount()) << c.name << ": the one after that downloads";
        EXPECT_EQ(DOWNLOADED, Status()) << c.name;
    }
}

TEST_F(InternetListPageTest, PagesThatJumpPastTheListAskTheDirectoryNothing)
{
    LobbyHostStandIn host(1);
    // The direct connection: from index 3 over 5 to the lobby at 6.
    Click(IDC_JOIN_GAME);
    SetText(IDC_PLAYER_NAME, "Ann");
    Press(PSBTN_NEXT);
    Click(IDC_METHOD_DIRECT);
    Press(PSBTN_NEXT);
    SetText(IDC_ADDRESS, "127.0.0.1");
    SetText(IDC_PORT, std::to_string(host.Port()));
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_CLIENT_LOBBY, CurrentIndex());
    ASSERT_NE(nullptr, PageAt(PAGE_INTERNET_LIST)) << "the sheet passed the list on its way";
    EXPECT_EQ(0u, RequestCount()) << "direct connection";

    // The lobby's Back after a LAN connection, from 6 over 5 to 4.
    g_NetOptions.nConnectMethod = CONNECT_LAN;
    Press(PSBTN_BACK);
    ASSERT_EQ(PAGE_LAN_LIST, CurrentIndex());
    EXPECT_EQ(0u, RequestCount()) << "client lobby's Back";
    EXPECT_EQ(FIRST_STATUS, Status());
    EXPECT_EQ(0, g_bSkipListRefresh);
}

TEST_F(InternetListPageTest, TheStatusIsOnTheScreenWhileTheDirectoryHoldsTheRequest)
{
    struct PaintCase {
        const char* name;
        bool byButton;  // otherwise by showing the page again
    };
    const PaintCase cases[] = {{"page shown", false}, {"refresh button", true}};
    directory_.Answer(ListReply({{0, "127.0.0.1", "Hal's game", 2000}}));
    GoToList();
    HWND page = PageAt(PAGE_INTERNET_LIST);
    HWND status = GetDlgItem(page, IDC_INTERNET_STATUS);
    for (const PaintCase& c : cases) {
        if (!c.byButton) {
            Press(PSBTN_BACK);
            Click(IDC_METHOD_INTERNET);
        }
        // Another page, or the last download's outcome.
        std::vector<uint32_t> before = WindowPixels(status);
        size_t requests = RequestCount();
        directory_.Hold();

        std::string seenText;
        bool pageVisible = false;
        bool unpainted = true;
        std::vector<uint32_t> during;
        std::thread watcher([&] {
            if (!directory_.WaitForRequests(requests + 1, 10000))
                return;
            // The page's thread is inside the request: nothing here may send it a message.
            WCHAR text[256] = {};
            InternalGetWindowText(status, text, 256);
            char narrow[256] = {};
            WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
            seenText = narrow;
            pageVisible = IsWindowVisible(page) != FALSE;
            unpainted = GetUpdateRect(sheet_, nullptr, FALSE) || GetUpdateRect(page, nullptr, FALSE) ||
                        GetUpdateRect(status, nullptr, FALSE);
            during = WindowPixels(status);
            directory_.Release();
        });
        if (c.byButton)
            Click(IDC_INTERNET_REFRESH);
        else
            Press(PSBTN_NEXT);
        directory_.Release();
        watcher.join();

        ASSERT_EQ(requests + 1, RequestCount()) << c.name;
        EXPECT_EQ(DOWNLOADED, Status()) << c.name;
        EXPECT_EQ(DOWNLOADING, seenText) << c.name;
        EXPECT_TRUE(pageVisible) << c.name;
        EXPECT_FALSE(unpainted) << c.name << ": part of the sheet was left unpainted during the request";
        EXPECT_NE(before, during) << c.name << ": the status line still showed what was there before";
        // The same text, painted with the thread at rest, looks the same.
        SetWindowTextA(status, DOWNLOADING);
        UpdateWindow(sheet_);
        EXPECT_EQ(WindowPixels(status), during) << c.name;
        SetWindowTextA(status, DOWNLOADED);
        UpdateWindow(sheet_);
    }
}

TEST_F(InternetListPageTest, TheServerLobbyPublishesOnEveryShowingWhilePublishingIsChosen)
{
    int port = FreeWizardPort();
    ASSERT_NE(0, port);
    Click(IDC_HOST_GAME);
    SetText(IDC_PLAYER_NAME, "Hal");
    Press(PSBTN_NEXT);
    SetText(IDC_SERVER_NAME, "Cool Quarv Server");
    SetText(IDC_PORT, std::to_string(port));
    Click(IDC_PUBLISH_SERVER);
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_SERVER_LOBBY, CurrentIndex());
    Press(PSBTN_BACK);
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_SERVER_LOBBY, CurrentIndex());

    std::vector<std::string> requests = directory_.Requests();
    ASSERT_EQ(2u, requests.size()) << "one publication per showing";
    for (const std::string& request : requests) {
        const std::string header = "POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\n"
                                   "Content-type: application/x-www-form-urlencoded\r\nContent-length: 264\r\n\r\n";
        ASSERT_EQ(header.size() + 264, request.size());
        EXPECT_EQ(header, request.substr(0, header.size()));
        std::string entry = request.substr(header.size());
        EXPECT_EQ(std::string(80, '\0'), entry.substr(0, 80)) << "the directory fills in the address";
        EXPECT_EQ(std::string("Cool Quarv Server") + std::string(63, '\0'), entry.substr(80, 80));
        EXPECT_EQ(1, Int32At(entry, 160));
        EXPECT_EQ(1, Int32At(entry, 164));
        EXPECT_EQ(std::string(84, '\0'), entry.substr(168, 84));
        EXPECT_EQ(1, Int32At(entry, 252));
        EXPECT_EQ(4, Int32At(entry, 256));
        EXPECT_EQ(port, Int32At(entry, 260));
    }

    Press(PSBTN_BACK);
    Click(IDC_PUBLISH_SERVER);
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_SERVER_LOBBY, CurrentIndex());
    EXPECT_EQ(2u, RequestCount()) << "publishing no longer chosen";
}
