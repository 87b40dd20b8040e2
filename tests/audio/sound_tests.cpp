// The audio module playing into the capture device of the test set-up: what it plays,
// how loud, and that what it should stop does stop.
#include "audio.h"
#include "module_state.h"
#include "sound_capture.h"
#include "sound_system.h"

#include "message_box_watcher.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const int kLastNote = kMusicNotes - 1;
// Long enough for test.mp3 (1.6 s) to reach its last note from anywhere in its first note.
const DWORD kPlayedOutMs = 2500;
const DWORD kQuietMs = 700;
const DWORD kWaitMs = 8000;

class SoundCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAudioModule();
        ClearCapture();
        ASSERT_TRUE(CopyFileOver(HostPath(DIST_DIR "/test.wav"), folder_.File("test.wav")));
        ASSERT_TRUE(CopyFileOver(HostPath(DIST_DIR "/test.mp3"), folder_.File("test.mp3")));
        window_ = CreateWindowA("STATIC", "sound", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        ResetAudioModule();
        DestroyWindow(window_);
    }

    void SwitchOn()
    {
        SetSoundEnabled(1);
        ASSERT_TRUE(InitSound(window_)) << "no sound device: is ALSA_CONFIG_PATH set?";
    }

    IDirectSoundBuffer* Buffer(const char* name)
    {
        for (const SoundEffect& effect : g_pSoundSystem->effects)
            if (std::strcmp(effect.name, name) == 0)
                return effect.buffer;
        return nullptr;
    }

    LONG Volume(const char* name)
    {
        LONG volume = 1;
        Buffer(name)->GetVolume(&volume);
        return volume;
    }

    TempFolder folder_;
    HWND window_ = nullptr;
};

TEST_F(SoundCaptureTest, EffectsAreClampedKeptByExactNameAndReleased)
{
    SwitchOn();
    MessageBoxWatcher watcher;
    ASSERT_TRUE(LoadSoundEffect("test.wav"));
    EXPECT_EQ(Volume("test.wav"), 0);

    const struct {
        long requested;
        LONG expected;
    } volumes[] = {{500, 0}, {-20000, -10000}, {-6000, -6000}, {-10000, -10000}, {0, 0}, {-1, -1}};
    for (const auto& row : volumes) {
        SetSoundEffectVolume("test.wav", row.requested);
        EXPECT_EQ(Volume("test.wav"), row.expected) << "requested " << row.requested;
    }

    // The file system does not care about case, the effect list does.
    ASSERT_TRUE(LoadSoundEffect("Test.wav"));
    EXPECT_EQ(g_pSoundSystem->effects.size(), 2u);
    SetSoundEffectVolume("Test.wav", -3000);
    EXPECT_EQ(Volume("Test.wav"), -3000);
    EXPECT_EQ(Volume("test.wav"), -1);

    // A reload keeps the record, gives it a new buffer at full volume and lets go of the old one.
    IDirectSoundBuffer* old = Buffer("test.wav");
    old->AddRef();
    ASSERT_TRUE(LoadSoundEffect("test.wav"));
    EXPECT_EQ(g_pSoundSystem->effects.size(), 2u);
    EXPECT_NE(Buffer("test.wav"), old);
    EXPECT_EQ(Volume("test.wav"), 0);
    EXPECT_EQ(old->Release(), 0u) << "the module still holds the replaced buffer";

    PlaySoundEffect("never.wav");
    SetSoundEffectVolume("never.wav", -100);
    EXPECT_TRUE(watcher.Seen().empty()) << watcher.Seen()[0].text;

    ReleaseSoundEffects();
    EXPECT_TRUE(g_pSoundSystem->effects.empty());
    EXPECT_EQ(g_pSoundSystem->device, nullptr);
    ReleaseSoundEffects();
    EXPECT_EQ(g_pSoundSystem->device, nullptr);
}

TEST_F(SoundCaptureTest, SoundOnAgainStopsTheMusicOfTheInstanceItReplaces)
{
    SwitchOn();
    ASSERT_TRUE(LoadMusic("test.mp3"));
    PlayMusic("test.mp3");
    ASSERT_TRUE(WaitForNote(0, 0, kWaitMs)) << "the music did not start\n" << CaptureSummary();

    // SOUND ON pressed while the music plays.
    SetSoundEnabled(1);
    InitSound(window_);
    EXPECT_FALSE(WaitForNote(0, kLastNote, kPlayedOutMs))
        << "the replaced instance's music played on:\n" << CaptureSummary();
    EXPECT_EQ(g_pSoundSystem->loadedMusic[0], '\0');

    // The new instance plays it again, from its start.
    size_t mark = ReadCapture().size();
    PlayMusic("test.mp3");
    ASSERT_TRUE(WaitForNote(mark, kLastNote, kWaitMs)) << "\n" << CaptureSummary();
    EXPECT_EQ(CapturedNotes(mark), std::vector<int>({0, 1, 2, 3})) << "\n" << CaptureSummary();
}

TEST_F(SoundCaptureTest, ShutdownStopsEverythingAndLeavesCOMAsItFoundIt)
{
    SwitchOn();
    ASSERT_TRUE(LoadSoundEffect("test.wav"));
    PlaySoundEffect("test.wav");
    ASSERT_TRUE(LoadMusic("test.mp3"));
    PlayMusic("test.mp3");
    ASSERT_TRUE(WaitForNote(0, 0, kWaitMs)) << "the music did not start\n" << CaptureSummary();

    ShutdownSound();
    EXPECT_FALSE(WaitForNote(0, kLastNote, kPlayedOutMs))
        << "the music played on after the shutdown:\n" << CaptureSummary();
    EXPECT_EQ(g_pSoundSystem->device, nullptr);
    EXPECT_EQ(g_pSoundSystem->graph, nullptr);

    // A second options dialog: a new instance whose music must still play, so COM must
    // have been initialised again after the shutdown gave it back.
    size_t mark = ReadCapture().size();
    SwitchOn();
    ASSERT_TRUE(LoadMusic("test.mp3"));
    PlayMusic("test.mp3");
    EXPECT_TRUE(WaitForNote(mark, 0, kWaitMs)) << "no music from the second instance\n" << CaptureSummary();

    // The launcher's own use of COM on this thread outlives any number of shutdowns.
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    ShutdownSound();
    ShutdownSound();
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "COM uninitialised more often than the module initialised it";
    CoUninitialize();
    CoUninitialize();
}

TEST_F(SoundCaptureTest, MusicRequestedWhileOffStartsWithSoundOn)
{
    SwitchOn();
    SetSoundEnabled(0);
    PlayMusic("test.mp3");
    EXPECT_EQ(WaitForQuiet(0, kQuietMs, kWaitMs), 0.0) << "music sounded while sound was off";

    SetSoundEnabled(1);
    ASSERT_TRUE(WaitForNote(0, kLastNote, kWaitMs)) << "SOUND ON did not play the music:\n" << CaptureSummary();
    EXPECT_EQ(CapturedNotes(), std::vector<int>({0, 1, 2, 3})) << "\n" << CaptureSummary();
}

}
