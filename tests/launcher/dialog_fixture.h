#pragma once
// A real options dialog from template 106, created in the test's own thread inside a
// fresh working folder that holds the stand-ins for "quarv.exe" and "Hollagrin.exe".
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "options_record.h"
#include "test_support.h"

// Dispatches every message waiting for this thread; remembers a quit message.
struct MessagePump {
    bool quitSeen = false;
    WPARAM quitCode = 0;
    void Run();
};

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void Open();
    void WriteOptions(const std::string& name, const OptionsFields& fields);
    std::vector<unsigned char> OptionsBytes() const { return ReadFileBytes(folder_.File("options.bin")); }

    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    bool Visible(int id) const { return IsWindowVisible(Control(id)) != FALSE; }
    LONG SliderPosition(int id) const;
    std::string Text(int id) const;
    void Click(int id) { SendMessageA(Control(id), BM_CLICK, 0, 0); }
    void SelectPage(int page);
    bool QuitPosted();
    // Waits for the stand-in's record of the given program and returns its text.
    std::string WaitForRun(const std::string& program);

    TempFolder folder_;
    HWND dialog_ = nullptr;
    MessagePump pump_;
};
