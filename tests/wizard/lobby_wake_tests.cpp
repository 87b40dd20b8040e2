// A lobby page under a backlog: each wake-up takes a bounded share of the inbox and shows it
// with one update of the transcript, the page carries on by itself, the player's typing gets
// through meanwhile, and in the end the transcript holds exactly the newest lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "lobby_bytes.h"
#include "lobby_inbox.h"
#include "net_internal.h"
#include "resource.h"
#include "transcript.h"
#include "wizard_ports.h"
#include "wizard_sheet.h"

namespace {

// Counts the page's wake-ups and what changes the text of its transcript control.
int g_nWakes;
int g_nTranscriptUpdates;
WNDPROC g_pPageProc;
WNDPROC g_pTranscriptProc;

LRESULT CALLBACK CountingPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER || (message == WM_TIMER && wParam == LOBBY_WAKE_TIMER))
        ++g_nWakes;
    return CallWindowProcA(g_pPageProc, window, message, wParam, lParam);
}

LRESULT CALLBACK CountingTranscriptProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == EM_REPLACESEL || message == WM_SETTEXT)
        ++g_nTranscriptUpdates;
    return CallWindowProcA(g_pTranscriptProc, window, message, wParam, lParam);
}

struct PageCase {
    const char* name;
    int index;
    int capacity;
};
const PageCase kPages[] = {{"client lobby", PAGE_CLIENT_LOBBY, CLIENT_TRANSCRIPT_SIZE},
                           {"server lobby", PAGE_SERVER_LOBBY, SERVER_TRANSCRIPT_SIZE}};

std::string OthersLine(int n)
{
    return "Bob->line " + std::to_string(n);
}

// The transcript a page shows after the lines, one by one, within its capacity.
std::string Expected(const std::string& before, int from, int count, int capacity)
{
    std::vector<char> text(before.size() + capacity + 1, '\0');
    std::memcpy(text.data(), before.c_str(), before.size());
    // Each line has more than 8 bytes: the last capacity / 8 lines push out everything before.
    if (count > capacity / 8) {
        text[0] = '\0';
        from += count - capacity / 8;
        count = capacity / 8;
    }
    for (int n = from; n < from + count; ++n) {
        std::string line = "   " + OthersLine(n) + "\r\n";
        AppendWithinCapacity(text.data(), capacity, line.c_str(), static_cast<int>(line.size()));
    }
    return text.data();
}

class LobbyWakeTest : public WizardSheetTest {
protected:
    void ShowLobby(const PageCase& page)
    {
        g_NetOptions.nHostPort = FreeWizardPort();
        ShowPage(page.index);
        g_pPageProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(Page(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingPageProc)));
        g_pTranscriptProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            Control(IDC_TRANSCRIPT), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingTranscriptProc)));
        g_nWakes = 0;
        g_nTranscriptUpdates = 0;
    }

    void TearDown() override
    {
        ClearQueue(LobbyInbox);
        WizardSheetTest::TearDown();
    }
};

} // namespace

TEST_F(LobbyWakeTest, EachWakeUpTakesABoundedShareOfABacklogAndShowsItWithOneUpdate)
{
    const int lines = 400000;
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.name);
        ShowLobby(page);
        SetText(IDC_TRANSCRIPT, "Ann->before\r\n");
        g_nTranscriptUpdates = 0;
        for (int n = 0; n < lines; ++n)
            PushMessage(LobbyInbox, ChatMessage(MSG_CHAT + 1, OthersLine(n)));

        DWORD start = GetTickCount();
        SendMessageA(Page(), WM_USER, 0, 0);
        EXPECT_LT(GetTickCount() - start, 1000u) << "one wake-up";
        EXPECT_GT(CountMessages(LobbyInbox), 0) << "one wake-up took the whole backlog";
        EXPECT_EQ(1, g_nWakes);
        EXPECT_GE(g_nTranscriptUpdates, 1);
        EXPECT_LE(g_nTranscriptUpdates, 2) << "the old lines go and the new come in one update";

        // The page carries on by itself until the transcript shows everything.
        std::string expected = Expected("Ann->before\r\n", 0, lines, page.capacity);
        EXPECT_TRUE(PumpUntil([&] { return CountMessages(LobbyInbox) == 0 && Text(IDC_TRANSCRIPT) == expected; },
                              60000));
        EXPECT_LE(g_nTranscriptUpdates, 2 * g_nWakes) << g_nWakes << " wake-ups";
    }
}

TEST_F(LobbyWakeTest, LinesFromANetworkThreadAreShownOnceEachAndTheNewestSoon)
{
    // Wake-ups come from another thread the way the network threads post them, while the
    // page stops early and carries on by itself: no line may be lost or shown twice.
    const int lines = 30000;
    const PageCase& page = kPages[1];
    ShowLobby(page);
    std::atomic<bool> done(false);
    std::thread network([&] {
        for (int n = 0; n < lines; ++n) {
            PushMessage(LobbyInbox, ChatMessage(MSG_CHAT + 1, OthersLine(n)));
            WakeLobbyPage(GetServerLobbyWnd());
            if (n % 1000 == 999)
                Sleep(5);
        }
        done = true;
    });
    std::string last = "   " + OthersLine(lines - 1) + "\r\n";
    auto showsLast = [&] {
        std::string text = Text(IDC_TRANSCRIPT);
        return text.size() >= last.size() && text.compare(text.size() - last.size(), last.size(), last) == 0;
    };
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 60000));
    network.join();
    DWORD finished = GetTickCount();
    EXPECT_TRUE(PumpUntil(showsLast, 5000)) << "the newest line never showed";
    EXPECT_LT(GetTickCount() - finished, 1000u) << "the newest line showed late";
    Pump();
    EXPECT_EQ(0, CountMessages(LobbyInbox));
    EXPECT_EQ(Expected("", 0, lines, page.capacity), Text(IDC_TRANSCRIPT));
}

TEST_F(LobbyWakeTest, ThePlayersTypingGetsThroughWhileABacklogIsShown)
{
    // Keys as the keyboard delivers them, behind everything posted to the page: a page that
    // kept posting itself wake-ups would see them only once the backlog was gone. So the
    // network keeps the backlog from running out until the typed line has gone, however fast
    // the page works through it.
    std::strcpy(g_NetOptions.szPlayerName, "Ann");
    g_NetOptions.nPlayerId = 2;
    ShowLobby(kPages[0]);
    HWND page = Page();
    const int lowMark = 200000;
    const int highMark = 400000;
    int n = 0;
    while (n < highMark)
        PushMessage(LobbyInbox, ChatMessage(MSG_CHAT + 1, OthersLine(n++)));
    std::atomic<bool> gaveUp(false);
    std::atomic<int> leastBacklog(highMark);
    std::thread network([&] {
        const DWORD start = GetTickCount();
        while (CountMessages(LobbyOutbox) == 0) {
            if (GetTickCount() - start > 20000) {
                gaveUp = true;
                return;
            }
            int backlog = CountMessages(LobbyInbox);
            leastBacklog = std::min(leastBacklog.load(), backlog);
            if (backlog >= lowMark) {
                Sleep(1);
                continue;
            }
            for (int i = 0; i < 1000; ++i)
                PushMessage(LobbyInbox, ChatMessage(MSG_CHAT + 1, OthersLine(n++)));
            WakeLobbyPage(page);
        }
    });
    SendMessageA(page, WM_USER, 0, 0);

    SetForegroundWindow(sheet_);
    SetFocus(Control(IDC_CHAT_INPUT));
    std::vector<INPUT> keys;
    for (WORD key : {static_cast<WORD>('H'), static_cast<WORD>('I'), static_cast<WORD>(VK_RETURN)}) {
        INPUT down = {};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        INPUT up = down;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        keys.push_back(down);
        keys.push_back(up);
    }
    UINT keysSent = SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
    bool typedLineWent = PumpUntil([] { return CountMessages(LobbyOutbox) > 0; }, 30000);
    network.join();
    ASSERT_EQ(keys.size(), keysSent);
    ASSERT_TRUE(typedLineWent) << "the typed line was never sent";
    EXPECT_FALSE(gaveUp.load()) << "the typed line was sent only once lines stopped coming";
    EXPECT_GT(leastBacklog.load(), 0) << "the backlog ran out before the line was sent, which proves nothing";
    EXPECT_EQ(std::string("Ann->hi\r\n") + '\0', TakeMessage(LobbyOutbox).payload);
}
