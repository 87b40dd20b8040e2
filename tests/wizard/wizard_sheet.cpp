#include "wizard_sheet.h"

#include <commctrl.h>

#include <cstdlib>
#include <vector>

#include "resource.h"

void ClearQueue(MessageQueue& queue)
{
    while (!IsQueueEmpty(queue))
        std::free(PopMessage(queue).pData);
}

QueuedMessage TakeMessage(MessageQueue& queue)
{
    NetMessage message = PopMessage(queue);
    QueuedMessage copy = {message.nType, message.nLength, std::string()};
    if (message.nLength > 0 && message.pData)
        copy.payload.assign(message.pData, message.nLength);
    std::free(message.pData);
    return copy;
}

void WizardSheetTest::SetUp()
{
    g_NetOptions = NetOptions();
    g_bStartGame = 0;
    SetHandshakeWord(LOBBY_HANDSHAKE_WORD);
    InitCommonControls();
    ClearQueue(LobbyInbox);
    ClearQueue(LobbyOutbox);

    HPROPSHEETPAGE pages[WIZARD_PAGE_COUNT] = {};
    ASSERT_TRUE(CreateWizardPages(GetModuleHandleA(nullptr), &shared_, pages));
    PROPSHEETHEADERA header = WizardSheetHeader(GetModuleHandleA(nullptr), pages);
    header.dwFlags |= PSH_MODELESS;
    sheet_ = reinterpret_cast<HWND>(PropertySheetA(&header));
    ASSERT_NE(nullptr, sheet_);
    ShowWindow(sheet_, SW_SHOW);
    Pump();
}

void WizardSheetTest::TearDown()
{
    if (sheet_ && IsWindow(sheet_)) {
        // Every page that was created keeps the shared block in its user data.
        for (int index = 0; index < WIZARD_PAGE_COUNT; ++index) {
            HWND page = PageAt(index);
            if (page) {
                EXPECT_EQ(reinterpret_cast<LONG_PTR>(&shared_), GetWindowLongPtrA(page, GWLP_USERDATA))
                    << "page " << index;
            }
        }
        DestroyWindow(sheet_);
    }
    ShutdownNetworking();
    SetClientLobbyWnd(nullptr);
    SetServerLobbyWnd(nullptr);
    SetServerLobbyActive(0);
    SetPlayerIdTarget(nullptr);
    ClearQueue(LobbyInbox);
    ClearQueue(LobbyOutbox);
    Pump();
}

void WizardSheetTest::Pump()
{
    MSG message = {};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitSeen_ = true;
            continue;
        }
        if (sheet_ && IsWindow(sheet_) && PropSheet_IsDialogMessage(sheet_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool WizardSheetTest::PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        Pump();
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

int WizardSheetTest::CurrentIndex()
{
    HWND page = Page();
    return page ? static_cast<int>(SendMessageA(sheet_, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0)) : -1;
}

HWND WizardSheetTest::Page()
{
    return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
}

HWND WizardSheetTest::PageAt(int index)
{
    return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_INDEXTOHWND, index, 0));
}

std::string WizardSheetTest::Text(int id)
{
    HWND control = Control(id);
    std::vector<char> text(GetWindowTextLengthA(control) + 1);
    GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    return text.data();
}

DWORD WizardSheetTest::Buttons()
{
    Pump();
    DWORD buttons = 0;
    if (IsWindowEnabled(GetDlgItem(sheet_, SHEET_BACK_BUTTON)))
        buttons |= PSWIZB_BACK;
    HWND next = GetDlgItem(sheet_, SHEET_NEXT_BUTTON);
    if (IsWindowEnabled(next) && IsWindowVisible(next))
        buttons |= PSWIZB_NEXT;
    HWND finish = GetDlgItem(sheet_, SHEET_FINISH_BUTTON);
    if (IsWindowEnabled(finish) && IsWindowVisible(finish))
        buttons |= PSWIZB_FINISH;
    return buttons;
}

void WizardSheetTest::Press(int button)
{
    SendMessageA(sheet_, PSM_PRESSBUTTON, button, 0);
    Pump();
}

void WizardSheetTest::Click(int id)
{
    SendMessageA(Control(id), BM_CLICK, 0, 0);
    Pump();
}

void WizardSheetTest::SetText(int id, const std::string& text)
{
    SetWindowTextA(Control(id), text.c_str());
    Pump();
}

void WizardSheetTest::Type(int id, const std::string& text)
{
    for (char c : text)
        SendMessageA(Control(id), WM_CHAR, static_cast<unsigned char>(c), 1);
    Pump();
}

void WizardSheetTest::MoveCaret(int id, int position)
{
    if (position < 0)
        position = GetWindowTextLengthA(Control(id));
    SendMessageA(Control(id), EM_SETSEL, position, position);
}

std::vector<std::string> WizardSheetTest::ServerListLines(int index)
{
    HWND list = GetDlgItem(PageAt(index), IDC_SERVER_LIST);
    std::vector<std::string> lines;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::vector<char> text(SendMessageA(list, LB_GETTEXTLEN, i, 0) + 1);
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        lines.push_back(text.data());
    }
    return lines;
}

void WizardSheetTest::SelectServerLine(int line)
{
    HWND list = Control(IDC_SERVER_LIST);
    SendMessageA(list, LB_SETCURSEL, line, 0);
    SendMessageA(Page(), WM_COMMAND, MAKEWPARAM(IDC_SERVER_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Pump();
}

void WizardSheetTest::ShowPage(int index)
{
    SendMessageA(sheet_, PSM_SETCURSEL, index, 0);
    Pump();
}

bool WizardSheetTest::Ended()
{
    return Page() == nullptr;
}

void WizardSheetTest::JoinAs(const std::string& name)
{
    Click(IDC_JOIN_GAME);
    SetText(IDC_PLAYER_NAME, name);
    Press(PSBTN_NEXT);
    Click(IDC_METHOD_DIRECT);
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_DIRECT_CONNECT, CurrentIndex());
}

void WizardSheetTest::HostAs(const std::string& name, const std::string& serverName, int port)
{
    Click(IDC_HOST_GAME);
    SetText(IDC_PLAYER_NAME, name);
    Press(PSBTN_NEXT);
    SetText(IDC_SERVER_NAME, serverName);
    SetText(IDC_PORT, std::to_string(port));
    Press(PSBTN_NEXT);
    ASSERT_EQ(PAGE_SERVER_LOBBY, CurrentIndex());
}

std::string WizardSheetTest::FileText(const std::string& name)
{
    std::vector<unsigned char> bytes = ReadFileBytes(folder_.File(name));
    return std::string(bytes.begin(), bytes.end());
}
