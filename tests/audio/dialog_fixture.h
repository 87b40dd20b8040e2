#pragma once
// The launcher's real options dialog (template 106), created in the test's thread in a
// working folder that holds the sample sounds, with the audio module as at process start.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

class AudioDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void CopySamples();
    // A hidden dialog paints nothing, so its sliders send no notifications while a test
    // sets them; a shown one is on its Audio page.
    void Open(bool shown);
    void Click(int id);
    // Moves a slider as the player's drag ends: the thumb is set and the slider repaints,
    // which is when it notifies the dialog.
    void MoveSlider(int id, LONG position);
    std::string Text(int id) const;
    void Pump();

    TempFolder folder_;
    HWND dialog_ = nullptr;
};
