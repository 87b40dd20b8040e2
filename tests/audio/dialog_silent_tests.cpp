// The Audio page of the real options dialog without a sound device, the default Wine
// set-up: every button and slider does its work and nothing but the described
// messages appears.
#include "dialog_fixture.h"

#include "message_box_watcher.h"
#include "resource.h"
#include "sound_system.h"

namespace {

class DialogSilentTest : public AudioDialogTest {};

TEST_F(DialogSilentTest, EveryButtonAndSliderWorksWithoutASoundDevice)
{
    CopySamples();
    MessageBoxWatcher watcher;
    Open(true);

    Click(IDC_SOUND_ON);
    ASSERT_NE(g_pSoundSystem, nullptr);
    EXPECT_EQ(g_pSoundSystem->device, nullptr) << "this test program expects no sound device";
    Click(IDC_SOUND_TEST);
    MoveSlider(IDC_SOUND_SLIDER, -3000);
    Click(IDC_MUSIC_TEST);
    EXPECT_EQ(Text(IDC_MUSIC_TEST), "STOP");
    MoveSlider(IDC_MUSIC_SLIDER, -1500);
    Click(IDC_MUSIC_TEST);
    EXPECT_EQ(Text(IDC_MUSIC_TEST), "TEST");
    Click(IDC_MUSIC_TEST);
    Click(IDC_SOUND_ON);
    Click(IDC_SOUND_OFF);
    Click(IDC_SOUND_TEST);
    Click(IDC_MUSIC_TEST);
    EXPECT_EQ(Text(IDC_MUSIC_TEST), "TEST");
    Click(IDC_SOUND_ON);
    Click(IDC_SOUND_TEST);
    DestroyWindow(dialog_);
    dialog_ = nullptr;

    EXPECT_TRUE(watcher.Seen().empty()) << watcher.Seen()[0].text;
}

TEST_F(DialogSilentTest, MissingSamplesShowOnlyTheReadersMessage)
{
    MessageBoxWatcher watcher;
    Open(false);

    Click(IDC_SOUND_ON);
    Click(IDC_SOUND_TEST);
    Click(IDC_MUSIC_TEST);
    Click(IDC_MUSIC_TEST);
    Click(IDC_SOUND_OFF);
    Click(IDC_SOUND_TEST);

    std::vector<SeenMessageBox> boxes = watcher.Seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error Loading Wave File");
}

}
