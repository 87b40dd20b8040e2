// The frame of the wizard: the page table behind the sheet, the resources the pages are
// made of, the title font and the page that is never shown.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "resource.h"
#include "title_font.h"
#include "wizard_sheet.h"

namespace {

const char kCaption[] = "Q.U.A.R.V. Multiplayer Options";

struct ControlCase {
    int dialog;
    int id;  // -1 for the controls without an id of their own
    const char* windowClass;
    const char* text;
    DWORD style;  // style bits the control must have
};
void PrintTo(const ControlCase& c, std::ostream* out) { *out << "dialog " << c.dialog << " control " << c.text; }

const DWORD RADIO = BS_AUTORADIOBUTTON;
const DWORD MULTI = ES_MULTILINE | WS_VSCROLL;

const ControlCase kControls[] = {
    {IDD_WELCOME, IDC_WELCOME_TITLE, "Static", "Welcome to QUARV", 0},
    {IDD_WELCOME, IDC_WELCOME_NAME, "Static", "Quarv", 0},
    {IDD_HOST_JOIN, IDC_NETWORK_GROUP, "Button", "Network Options", BS_GROUPBOX},
    {IDD_HOST_JOIN, IDC_HOST_GAME, "Button", "HOST GAME", RADIO},
    {IDD_HOST_JOIN, IDC_JOIN_GAME, "Button", "JOIN GAME SERVER", RADIO},
    {IDD_HOST_JOIN, -1, "Static", "Player's Name:", 0},
    {IDD_HOST_JOIN, IDC_PLAYER_NAME, "Edit", "", 0},
    {IDD_CONNECT_METHOD, -1, "Button", "Connection Options", BS_GROUPBOX},
    {IDD_CONNECT_METHOD, IDC_METHOD_DIRECT, "Button", "TCP/IP (Direct IP Connection)", RADIO},
    {IDD_CONNECT_METHOD, IDC_METHOD_LAN, "Button", "LAN (Find a server on your local network)", RADIO},
    {IDD_CONNECT_METHOD, IDC_METHOD_INTERNET, "Button",
     "INTERNET (Find a server from the Internet)    Requires an Internet Connection", RADIO},
    {IDD_DIRECT_CONNECT, -1, "Static", "Connect to Server using IP address", 0},
    {IDD_DIRECT_CONNECT, -1, "Static", "IP Address of QUARV server:", 0},
    {IDD_DIRECT_CONNECT, IDC_ADDRESS, "Edit", "", ES_AUTOHSCROLL},
    {IDD_DIRECT_CONNECT, -1, "Static", "Port of the server:", 0},
    {IDD_DIRECT_CONNECT, IDC_PORT, "Edit", "", ES_NUMBER},
    {IDD_DIRECT_CONNECT, -1, "Static", "Ex: 2000\nGood number is 1000-30000", 0},
    {IDD_LAN_LIST, -1, "Static", "LAN CONNECTION", 0},
    {IDD_LAN_LIST, -1, "Static", "Server found in the LAN", 0},
    {IDD_LAN_LIST, IDC_SERVER_LIST, "ListBox", "", LBS_NOTIFY},
    {IDD_LAN_LIST, IDC_LAN_REFRESH, "Button", "Refresh server list", 0},
    {IDD_LAN_LIST, IDC_LAN_CONNECT, "Button", "Connect to server!", 0},
    {IDD_LAN_LIST, -1, "Static", "Connection Status:", 0},
    {IDD_LAN_LIST, IDC_LAN_STATUS, "Static", "Not connected", 0},
    {IDD_INTERNET_LIST, -1, "Static", "FIND QUARV SERVERS ON THE INTERNET", 0},
    {IDD_INTERNET_LIST, -1, "Button", "Internet Servers", BS_GROUPBOX},
    {IDD_INTERNET_LIST, IDC_SERVER_LIST, "ListBox", "", LBS_NOTIFY},
    {IDD_INTERNET_LIST, IDC_INTERNET_REFRESH, "Button", "Refresh Server List", 0},
    {IDD_INTERNET_LIST, IDC_INTERNET_CONNECT, "Button", "Connect to Server!", 0},
    {IDD_INTERNET_LIST, -1, "Static", "Connection Status:", 0},
    {IDD_INTERNET_LIST, IDC_INTERNET_STATUS, "Static",
     "Select a server from the list then press \"Connect to Server!\"", 0},
    {IDD_CLIENT_LOBBY, -1, "Static", "CLIENT CHAT", 0},
    {IDD_CLIENT_LOBBY, IDC_TRANSCRIPT, "Edit", "", MULTI},
    {IDD_CLIENT_LOBBY, IDC_CHAT_INPUT, "Edit", "", MULTI | ES_WANTRETURN},
    {IDD_CLIENT_LOBBY, IDC_SEND_MESSAGE, "Button", "SEND MESSAGE!", BS_DEFPUSHBUTTON},
    {IDD_SERVER_SETUP, -1, "Static", "SERVER SETUP", 0},
    {IDD_SERVER_SETUP, -1, "Static", "Server Name:", 0},
    {IDD_SERVER_SETUP, IDC_SERVER_NAME, "Edit", "", 0},
    {IDD_SERVER_SETUP, -1, "Static",
     "Ex:\tCool Quarv Server\nNote:\tThis is the name the clients will see when trying\n\tto find your server on "
     "the Internet.",
     0},
    {IDD_SERVER_SETUP, -1, "Static", "Server's Port:", 0},
    {IDD_SERVER_SETUP, IDC_PORT, "Edit", "", ES_NUMBER | ES_AUTOHSCROLL},
    {IDD_SERVER_SETUP, -1, "Static", "Ex: 2000\nA good por is in the range 1000-30000", 0},
    {IDD_SERVER_SETUP, IDC_PUBLISH_SERVER, "Button", "Upload Server's IP to the Internet (Make sure you are online).",
     BS_AUTOCHECKBOX},
    {IDD_SERVER_SETUP, -1, "Static",
     "This option allows other players to find your server's address on the Internet", 0},
    {IDD_SERVER_LOBBY, -1, "Static", "SERVER CHAT", 0},
    {IDD_SERVER_LOBBY, IDC_TRANSCRIPT, "Edit", "", MULTI | ES_AUTOVSCROLL},
    {IDD_SERVER_LOBBY, IDC_CHAT_INPUT, "Edit", "", MULTI | ES_WANTRETURN},
    {IDD_SERVER_LOBBY, IDC_SEND_MESSAGE, "Button", "SEND MESSAGE!", BS_DEFPUSHBUTTON},
    {IDD_SERVER_LOBBY, IDC_PLAYER_COUNT, "Static", "Numbers of Players Connected: ", 0},
};

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

struct Found {
    int id;
    std::string windowClass;
    std::string text;
    HWND control;
};

BOOL CALLBACK FindControl(HWND control, LPARAM param)
{
    Found* found = reinterpret_cast<Found*>(param);
    char cls[32] = {};
    char text[256] = {};
    GetClassNameA(control, cls, sizeof cls);
    GetWindowTextA(control, text, sizeof text);
    // A control without an id of its own may report it as 0xFFFF.
    if ((GetDlgCtrlID(control) & 0xFFFF) == (found->id & 0xFFFF) && lstrcmpiA(cls, found->windowClass.c_str()) == 0 &&
        (found->id != -1 || found->text == text)) {
        found->control = control;
        return FALSE;
    }
    return TRUE;
}

class ResourceControls : public ::testing::TestWithParam<ControlCase> {};

class FrameTest : public WizardSheetTest {
protected:
    void TearDown() override
    {
        WizardSheetTest::TearDown();
        if (shared_.hTitleFont)
            DeleteObject(shared_.hTitleFont);
    }
};

} // namespace

TEST_P(ResourceControls, HaveTheirIdClassTextAndStyle)
{
    const ControlCase& c = GetParam();
    // Pages are child dialogs: they need a parent window.
    HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(c.dialog), parent,
                                     PlainDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
    char caption[64] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(kCaption, caption);

    Found found = {c.id, c.windowClass, c.text, nullptr};
    EnumChildWindows(dialog, FindControl, reinterpret_cast<LPARAM>(&found));
    ASSERT_NE(nullptr, found.control);
    char text[256] = {};
    GetWindowTextA(found.control, text, sizeof text);
    EXPECT_STREQ(c.text, text);
    DWORD style = static_cast<DWORD>(GetWindowLongA(found.control, GWL_STYLE));
    if (c.windowClass == std::string("Button"))
        EXPECT_EQ(c.style & BS_TYPEMASK, style & BS_TYPEMASK);
    else
        EXPECT_EQ(c.style, style & c.style);
    DestroyWindow(parent);
}

INSTANTIATE_TEST_SUITE_P(Hollagrin, ResourceControls, ::testing::ValuesIn(kControls));

TEST(Resources, DialogsUseEightPointMsSansSerif)
{
    for (int dialog : {IDD_WELCOME, IDD_HOST_JOIN, IDD_CONNECT_METHOD, IDD_DIRECT_CONNECT, IDD_LAN_LIST,
                       IDD_INTERNET_LIST, IDD_CLIENT_LOBBY, IDD_SERVER_SETUP, IDD_SERVER_LOBBY}) {
        HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(dialog), RT_DIALOG);
        ASSERT_NE(nullptr, found) << dialog;
        const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
        const DLGTEMPLATE* header = reinterpret_cast<const DLGTEMPLATE*>(words);
        ASSERT_TRUE(header->style & DS_SETFONT) << dialog;
        // After the fixed part: menu, class and caption, each a NUL-terminated UTF-16 text
        // here; then the point size and the face name.
        const WORD* p = words + sizeof(DLGTEMPLATE) / sizeof(WORD);
        for (int text = 0; text < 3; ++text)
            while (*p++ != 0) {
            }
        EXPECT_EQ(8, *p++) << dialog;
        std::string face;
        while (*p)
            face += static_cast<char>(*p++);
        EXPECT_EQ("MS Sans Serif", face) << dialog;
    }
}

TEST(Resources, BitmapsAreEightBitsPerPixelAtTheirSizes)
{
    struct BitmapCase {
        int id;
        LONG width;
        LONG height;
    };
    for (const BitmapCase& c : {BitmapCase{IDB_HEADER, 49, 49}, BitmapCase{IDB_WATERMARK, 164, 314}}) {
        HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(c.id), RT_BITMAP);
        ASSERT_NE(nullptr, found) << c.id;
        const BITMAPINFOHEADER* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
        EXPECT_EQ(c.width, info->biWidth) << c.id;
        EXPECT_EQ(c.height, info->biHeight) << c.id;
        EXPECT_EQ(8, info->biBitCount) << c.id;
    }
}

TEST(Resources, StringTableHoldsTheHeaderTexts)
{
    const char* texts[] = {
        "Choose if you want to Host or Join a game and type your name",
        "Click Next to Continue",
        "Choose the method to find the server's IP address.",
        "Click Next to Continue",
        "Type the IP address of the Server (Host) and the Port.",
        "Press Next to Continue and try to connect. This might take a few seconds.",
        "Select a server on your local network",
        "Press \"Connect to server!\" to join the selected server.",
        "Select the server to connect",
        "Press Next to Continue",
        "Chat with other players",
        "Wait until the Server starts the game.",
        "Type the server's name and port",
        "Click Next to Continue",
        "Wait for Clients to Connect",
        "Press Start Game when all clients are ready.",
    };
    for (int id = 1; id <= 16; ++id) {
        char text[256] = {};
        EXPECT_GT(LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text), 0) << id;
        EXPECT_STREQ(texts[id - 1], text) << id;
    }
}

TEST(TitleFont, IsTwelvePointBoldVerdana)
{
    HFONT font = CreateTitleFont();
    ASSERT_NE(nullptr, font);
    LOGFONTA description = {};
    GetObjectA(font, sizeof description, &description);
    HDC screen = GetDC(nullptr);
    int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(-(12 * pixelsPerInch / 72), description.lfHeight);
    EXPECT_EQ(700, description.lfWeight);
    EXPECT_STREQ("Verdana Bold", description.lfFaceName);
    DeleteObject(font);
}

TEST_F(FrameTest, TheSheetHoldsTheNinePagesInTableOrder)
{
    const int dialogs[WIZARD_PAGE_COUNT] = {IDD_WELCOME,       IDD_HOST_JOIN,    IDD_CONNECT_METHOD,
                                            IDD_DIRECT_CONNECT, IDD_LAN_LIST,     IDD_INTERNET_LIST,
                                            IDD_CLIENT_LOBBY,   IDD_SERVER_SETUP, IDD_SERVER_LOBBY};
    for (int index = 0; index < WIZARD_PAGE_COUNT; ++index)
        EXPECT_EQ(dialogs[index], SendMessageA(sheet_, PSM_INDEXTOID, index, 0)) << "index " << index;
    EXPECT_EQ(0, SendMessageA(sheet_, PSM_INDEXTOID, WIZARD_PAGE_COUNT, 0));
}

TEST_F(FrameTest, TheWelcomePageCarriesTheTitleFontAndOffersNextOnly)
{
    shared_.hTitleFont = CreateTitleFont();
    ShowPage(PAGE_WELCOME);
    EXPECT_EQ(reinterpret_cast<LRESULT>(shared_.hTitleFont), SendMessageA(Control(IDC_WELCOME_TITLE), WM_GETFONT, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(PSWIZB_NEXT), Buttons());
    EXPECT_TRUE(GetWindowLongA(sheet_, GWL_EXSTYLE) & WS_EX_TOPMOST);
}
