// The Audio page of the real options dialog, heard through the capture device: the
// TEST buttons, the sliders and SOUND ON / SOUND OFF as a player uses them.
#include "dialog_fixture.h"
#include "sound_capture.h"

#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace {

const DWORD kWaitMs = 8000;
const DWORD kQuietMs = 700;
const int kLastNote = kMusicNotes - 1;

// The median level of the windows that show the note, within [begin, end) of the recording.
float NoteLevel(const std::vector<float>& samples, int note, size_t begin, size_t end)
{
    std::vector<float> levels;
    for (const NoteWindow& window : NoteWindows(samples))
        if (window.note == note && window.begin >= begin && window.end <= end)
            levels.push_back(Rms(samples, window.begin, window.end));
    if (levels.empty())
        return 0.0f;
    std::sort(levels.begin(), levels.end());
    return levels[levels.size() / 2];
}

class DialogSoundTest : public AudioDialogTest {
protected:
    void SetUp() override
    {
        AudioDialogTest::SetUp();
        ClearCapture();
        CopySamples();
    }
};

TEST_F(DialogSoundTest, EffectsTestPlaysTheSampleAtTheSlidersLevel)
{
    Open(false);
    Click(IDC_SOUND_ON);

    Click(IDC_SOUND_TEST);
    ASSERT_TRUE(WaitForContent(0, 0.35, kWaitMs)) << "TEST at full volume played nothing";
    WaitForQuiet(0, kQuietMs, kWaitMs);
    size_t mark = ReadCapture().size();

    // The dialog is hidden: the slider does not repaint, so it does not replay the sample.
    SendDlgItemMessageA(dialog_, IDC_SOUND_SLIDER, TBM_SETPOS, TRUE, -2000);
    Click(IDC_SOUND_TEST);
    ASSERT_TRUE(WaitForContent(mark, 0.35, kWaitMs)) << "TEST at -20 dB played nothing";
    WaitForQuiet(mark, kQuietMs, kWaitMs);

    std::vector<float> samples = ReadCapture();
    float full = Peak(samples, 0, mark);
    float lowered = Peak(samples, mark);
    // test.wav peaks at half of full scale.
    EXPECT_NEAR(full, 0.5f, 0.1f);
    EXPECT_NEAR(Decibels(lowered / full), -20.0, 1.0) << "full " << full << ", at -2000: " << lowered;
}

TEST_F(DialogSoundTest, SoundOffSilencesBothTestButtons)
{
    Open(false);
    Click(IDC_SOUND_ON);
    Click(IDC_SOUND_OFF);

    Click(IDC_SOUND_TEST);
    Click(IDC_MUSIC_TEST);
    EXPECT_EQ(Text(IDC_MUSIC_TEST), "STOP");
    EXPECT_EQ(WaitForQuiet(0, 1500, kWaitMs), 0.0) << "something sounded with SOUND OFF";
    Click(IDC_MUSIC_TEST);
    EXPECT_EQ(Text(IDC_MUSIC_TEST), "TEST");
}

TEST_F(DialogSoundTest, MusicTestStopTestPlaysTheMusicFromItsStartTwice)
{
    Open(false);
    Click(IDC_SOUND_ON);

    Click(IDC_MUSIC_TEST);
    EXPECT_EQ(Text(IDC_MUSIC_TEST), "STOP");
    ASSERT_TRUE(WaitForNote(0, 1, kWaitMs)) << "the music did not get to its second note:\n" << CaptureSummary();
    Click(IDC_MUSIC_TEST);
    EXPECT_EQ(Text(IDC_MUSIC_TEST), "TEST");
    WaitForQuiet(0, kQuietMs, kWaitMs);
    std::vector<int> first = CapturedNotes();
    EXPECT_TRUE(std::find(first.begin(), first.end(), kLastNote) == first.end())
        << "STOP did not stop the music: " << Describe(first);

    size_t mark = ReadCapture().size();
    Click(IDC_MUSIC_TEST);
    EXPECT_EQ(Text(IDC_MUSIC_TEST), "STOP");
    ASSERT_TRUE(WaitForNote(mark, kLastNote, kWaitMs)) << "\n" << CaptureSummary();

    // Two starts: the first note twice, the second time followed by the whole piece.
    std::vector<int> notes = CapturedNotes();
    ASSERT_GE(notes.size(), 5u) << Describe(notes) << "\n" << CaptureSummary();
    EXPECT_EQ(notes.front(), 0) << Describe(notes) << "\n" << CaptureSummary();
    EXPECT_EQ(std::count(notes.begin(), notes.end(), 0), 2) << Describe(notes) << "\n" << CaptureSummary();
    EXPECT_EQ(std::vector<int>(notes.end() - 4, notes.end()), std::vector<int>({0, 1, 2, 3})) << Describe(notes) << "\n" << CaptureSummary();
    Click(IDC_MUSIC_TEST);
}

TEST_F(DialogSoundTest, MusicSliderSetsTheMusicLevel)
{
    Open(true);
    Click(IDC_SOUND_ON);
    Click(IDC_MUSIC_TEST);
    ASSERT_TRUE(WaitForNote(0, 0, kWaitMs)) << "the music did not start\n" << CaptureSummary();
    size_t mark = ReadCapture().size();

    MoveSlider(IDC_MUSIC_SLIDER, -2000);
    ASSERT_TRUE(WaitForNote(mark, kLastNote, kWaitMs)) << "\n" << CaptureSummary();

    std::vector<float> samples = ReadCapture();
    float before = NoteLevel(samples, 0, 0, mark);
    float after = NoteLevel(samples, kLastNote, mark, samples.size());
    ASSERT_GT(before, 0.0f);
    EXPECT_NEAR(Decibels(after / before), -20.0, 2.0) << "first note " << before << ", last note " << after;
    Click(IDC_MUSIC_TEST);
}

}
