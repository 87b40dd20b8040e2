// The transcripts stay within their buffers: the oldest lines go first, a line too long for
// the whole buffer is cut, and a payload is read within its length only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "chat_line.h"
#include "lobby_bytes.h"
#include "resource.h"
#include "transcript.h"
#include "wizard_ports.h"
#include "wizard_sheet.h"

namespace {

struct AppendCase {
    const char* name;
    const char* text;
    const char* line;
    const char* result;
};
void PrintTo(const AppendCase& c, std::ostream* out) { *out << c.name; }

// Sixteen bytes: fifteen characters and the NUL.
const int SMALL = 16;

class AppendWithinCapacityCases : public ::testing::TestWithParam<AppendCase> {};

class TranscriptPageTest : public WizardSheetTest {
protected:
    void DeliverChat(int type, const std::string& line)
    {
        PushMessage(LobbyInbox, ChatMessage(type, line));
        SendMessageA(Page(), WM_USER, 0, 0);
    }
};

// Whole lines only, from the first character on.
bool StartsAtALine(const std::string& text)
{
    return text.compare(0, 3, "   ") == 0;
}

} // namespace

TEST_P(AppendWithinCapacityCases, KeepsTheNewestLinesWithinTheBuffer)
{
    const AppendCase& c = GetParam();
    std::vector<char> buffer(SMALL + 8, '#');
    std::strcpy(buffer.data(), c.text);
    AppendWithinCapacity(buffer.data(), SMALL, c.line, static_cast<int>(std::strlen(c.line)));
    EXPECT_STREQ(c.result, buffer.data());
    EXPECT_EQ('#', buffer[SMALL]) << "nothing written past the capacity";
}

INSTANTIATE_TEST_SUITE_P(Table, AppendWithinCapacityCases, ::testing::Values(
    AppendCase{"Fits", "a\r\n", "b\r\n", "a\r\nb\r\n"},
    AppendCase{"FillsExactly", "abcde\r\n", "fghij\r\n", "abcde\r\nfghij\r\n"},
    AppendCase{"DropsTheOldestLine", "aaaa\r\nbbbb\r\n", "cccccc\r\n", "bbbb\r\ncccccc\r\n"},
    AppendCase{"DropsSeveralLines", "a\r\nb\r\nc\r\nd\r\n", "eeeeeeeeeeee\r\n", "eeeeeeeeeeee\r\n"},
    AppendCase{"DropsTextWithoutALineBreak", "abcdefghijk", "xyz\r\n", "xyz\r\n"},
    AppendCase{"CutsALineLongerThanTheBuffer", "a\r\n", "0123456789abcdefghij\r\n", "0123456789abc\r\n"},
    AppendCase{"CutsALongLineWithoutABreak", "", "0123456789abcdefghij", "0123456789abcde"}),
    [](const ::testing::TestParamInfo<AppendCase>& info) { return std::string(info.param.name); });

struct PendingCase {
    const char* name;
    const char* before;  // the transcript's text before
    std::vector<std::string> lines;
    int chunk;  // bytes one update may take
};

// Lines waiting for the transcript go in a few at a time, yet the transcript ends up as if
// each had gone in on its own; both ways of updating the control (replacing text in an edit
// with ES_AUTOVSCROLL, setting the whole text of one without) are checked.
TEST(PendingLines, EndUpInTheTranscriptAsIfEachLineWentInOnItsOwn)
{
    const int capacity = 16;
    const PendingCase cases[] = {
        {"a few lines into room to spare", "a\r\n", {"b\r\n", "c\r\n"}, 8192},
        {"old lines make way", "aaaa\r\nbbbb\r\n", {"cc\r\n", "dd\r\n", "ee\r\n"}, 8192},
        {"a backlog longer than the transcript", "a\r\n", {"111\r\n", "222\r\n", "333\r\n", "444\r\n", "555\r\n", "666\r\n"}, 8192},
        {"one line an update", "xx\r\n", {"111\r\n", "222\r\n", "333\r\n", "444\r\n"}, 1},
        {"two lines an update", "xx\r\n", {"111\r\n", "222\r\n", "333\r\n", "444\r\n", "555\r\n"}, 10},
        {"exactly full", "", {"abcde\r\n", "fghij\r\n"}, 8192},
        {"a line too long for the transcript", "a\r\n", {"b\r\n", "0123456789abcdefghij\r\n"}, 8192},
        {"lines after a line that was cut", "a\r\n", {"0123456789abcdefghij\r\n", "x\r\n", "y\r\n"}, 4},
        {"text without a line break", "typed by the player", {"b\r\n"}, 8192},
        {"a line without a line break", "a\r\n", {"bbb", "ccc\r\n", "d\r\n"}, 8192},
        {"lines that push each other out take the old text along", "a\r\n", {"AAAAAAAA\r\n", "BBBBBBBB\r\n"}, 8192},
    };
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    const DWORD styles[] = {ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, ES_MULTILINE | WS_VSCROLL};
    for (DWORD style : styles) {
        for (const PendingCase& c : cases) {
            HWND transcript = CreateWindowExA(0, "EDIT", c.before, WS_CHILD | style, 0, 0, 200, 100, parent, nullptr,
                                              nullptr, nullptr);
            PrepareTranscript(transcript);
            std::vector<char> expected(capacity + std::strlen(c.before) + 1, '\0');
            std::strcpy(expected.data(), c.before);
            std::vector<char> buffer(2 * capacity, '\0');
            PendingLines pending = {buffer.data(), 0, capacity, false};
            for (const std::string& line : c.lines) {
                AppendWithinCapacity(expected.data(), capacity, line.c_str(), static_cast<int>(line.size()));
                AddPendingLine(pending, "", line.c_str(), static_cast<int>(line.size()));
            }
            int updates = 0;
            while (pending.nLength > 0 && updates++ < 100)
                ShowPendingLines(transcript, pending, c.chunk);
            char text[256] = {};
            GetWindowTextA(transcript, text, sizeof text);
            EXPECT_STREQ(expected.data(), text) << c.name << (style & ES_AUTOVSCROLL ? "" : ", set whole");
            DestroyWindow(transcript);
        }
    }
    DestroyWindow(parent);
}

TEST_F(TranscriptPageTest, EachPageKeepsItsTranscriptWithinItsBufferDroppingTheOldestLines)
{
    struct PageCase {
        int index;
        size_t capacity;
    };
    const PageCase pages[] = {{PAGE_CLIENT_LOBBY, CLIENT_TRANSCRIPT_SIZE}, {PAGE_SERVER_LOBBY, SERVER_TRANSCRIPT_SIZE}};
    int port = FreeWizardPort();
    for (const PageCase& p : pages) {
        g_NetOptions.nHostPort = port;
        ShowPage(p.index);
        std::string earlier;
        for (int n = 0; earlier.size() < p.capacity - 200; ++n)
            earlier += "   Bob->old line " + std::to_string(n) + " with some words\r\n";
        SetText(IDC_TRANSCRIPT, earlier);
        std::string line;
        for (int n = 0; n < 3; ++n) {
            line = "Cid->new line " + std::to_string(n);
            while (line.size() < p.capacity / 10)
                line += " words";
            DeliverChat(MSG_CHAT + 3, line);
        }
        std::string text = Text(IDC_TRANSCRIPT);
        EXPECT_LE(text.size(), p.capacity - 1) << "page " << p.index;
        EXPECT_GT(text.size(), p.capacity - p.capacity / 5) << "page " << p.index;
        EXPECT_TRUE(StartsAtALine(text)) << "page " << p.index;
        EXPECT_EQ(std::string::npos, text.find("old line 0 ")) << "page " << p.index;
        EXPECT_NE(std::string::npos, text.find("new line 0 ")) << "page " << p.index;
        EXPECT_EQ(text.size() - line.size() - 5, text.rfind("   " + line + "\r\n")) << "page " << p.index;
    }
}

TEST_F(TranscriptPageTest, AReceivedLineLongerThanTheBufferIsCut)
{
    ShowPage(PAGE_CLIENT_LOBBY);
    std::string line = "Bob->" + std::string(5000, 'y');
    DeliverChat(MSG_CHAT + 1, line);
    std::string text = Text(IDC_TRANSCRIPT);
    ASSERT_EQ(static_cast<size_t>(CLIENT_TRANSCRIPT_SIZE - 1), text.size());
    EXPECT_EQ("   Bob->yyy", text.substr(0, 11));
    EXPECT_EQ("y\r\n", text.substr(text.size() - 3));
}

TEST_F(TranscriptPageTest, APayloadWithoutANulIsReadWithinItsLength)
{
    ShowPage(PAGE_CLIENT_LOBBY);
    // The block goes on after the payload's length with no NUL: a reader that looked for
    // one would show the X's.
    NetMessage message = {};
    message.nType = MSG_CHAT + 1;
    message.nLength = 9;
    message.pData = static_cast<char*>(std::malloc(64));
    std::memset(message.pData, 'X', 64);
    std::memcpy(message.pData, "Bob->hi\r\n", 9);
    PushMessage(LobbyInbox, message);
    SendMessageA(Page(), WM_USER, 0, 0);
    EXPECT_EQ("   Bob->hi\r\n", Text(IDC_TRANSCRIPT));
}

TEST_F(TranscriptPageTest, SendingOnTheHostKeepsALongTranscriptAndALongLineWhole)
{
    std::strcpy(g_NetOptions.szPlayerName, "Hal");
    g_NetOptions.nHostPort = FreeWizardPort();
    ShowPage(PAGE_SERVER_LOBBY);
    std::string earlier;
    for (int n = 0; n < 200; ++n)
        earlier += "   Bob->line " + std::to_string(n) + " " + std::string(40, 'x') + "\r\n";
    ASSERT_GT(earlier.size(), 4096u);
    SetText(IDC_TRANSCRIPT, earlier);

    std::string typed(4095, 'z');
    SetText(IDC_CHAT_INPUT, typed);
    EXPECT_EQ(1, SendChatLine(Page(), 1));

    std::string line = "Hal->" + typed + "\r\n";
    EXPECT_EQ(earlier + line, Text(IDC_TRANSCRIPT));
    QueuedMessage sent = TakeMessage(LobbyOutbox);
    EXPECT_EQ(MSG_CHAT, sent.type);
    EXPECT_EQ(line + '\0', sent.payload);
}
