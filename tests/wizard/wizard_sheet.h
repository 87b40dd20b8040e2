#pragma once
// The real wizard sheet for tests: built from the program's own page table and resources,
// but modeless, so that the test's thread drives it with window messages and handles its
// messages in between. Each test runs in a fresh working folder with a fresh NetOptions.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "net.h"
#include "net_options.h"
#include "page_table.h"
#include "test_support.h"

// The sheet's own buttons.
const int SHEET_BACK_BUTTON = 0x3023;
const int SHEET_NEXT_BUTTON = 0x3024;
const int SHEET_FINISH_BUTTON = 0x3025;

class WizardSheetTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Handles every message waiting for this thread; remembers a quit message.
    void Pump();
    // Pumps until the condition holds or the time runs out.
    bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

    int CurrentIndex();
    HWND Page();
    HWND PageAt(int index);
    HWND Control(int id) { return GetDlgItem(Page(), id); }
    std::string Text(int id);
    // The wizard buttons a player can use now, as PSWIZB_* bits: Back when enabled, Next
    // and Finish when enabled and shown.
    DWORD Buttons();

    void Press(int button);  // PSBTN_*
    void Click(int id);
    // WM_SETTEXT, which reports a change for single-line edits.
    void SetText(int id, const std::string& text);
    // Characters as a player types them, at the caret; '\r' is Enter.
    void Type(int id, const std::string& text);
    // Puts the caret of an edit at a character position (-1: the end).
    void MoveCaret(int id, int position);
    // The lines of the server list (the LAN and Internet list pages share its id) of the page
    // at the index.
    std::vector<std::string> ServerListLines(int index);
    // As a click on a line of the current page's server list: the list box selects it and
    // tells the page.
    void SelectServerLine(int line);
    // A test's shortcut to a page, the way the pages themselves jump.
    void ShowPage(int index);
    bool Ended();

    // The way to the client lobby and the server lobby, as a player goes there.
    void JoinAs(const std::string& name);
    void HostAs(const std::string& name, const std::string& serverName, int port);

    std::string FileText(const std::string& name);

    TempFolder folder_;
    WizardSharedData shared_ = {};
    HWND sheet_ = nullptr;
    bool quitSeen_ = false;
};

// Drops whatever a queue still holds.
void ClearQueue(MessageQueue& queue);
// The next message of a queue, its payload copied; type 0 when it is empty.
struct QueuedMessage {
    int type;
    int length;
    std::string payload;
};
QueuedMessage TakeMessage(MessageQueue& queue);
