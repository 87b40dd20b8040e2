// The audio module without a sound device (the default Wine set-up) and, where only a
// misbehaving device can show a fault, with a stand-in device put into its state.
#include "audio.h"
#include "module_state.h"
#include "sound_system.h"

#include "message_box_watcher.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A PCM wave file with the given sample bytes.
void WriteWave(const std::string& path, const std::vector<BYTE>& samples)
{
    auto u32 = [](std::string& s, DWORD v) { s.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::string& s, WORD v) { s.append(reinterpret_cast<const char*>(&v), 2); };
    std::string bytes = "RIFF";
    u32(bytes, DWORD(36 + samples.size()));
    bytes += "WAVEfmt ";
    u32(bytes, 16);
    u16(bytes, 1);
    u16(bytes, 1);
    u32(bytes, 8000);
    u32(bytes, 8000);
    u16(bytes, 1);
    u16(bytes, 8);
    bytes += "data";
    u32(bytes, DWORD(samples.size()));
    bytes.append(samples.begin(), samples.end());
    WriteFileBytes(path, bytes.data(), bytes.size());
}

std::vector<BYTE> Pattern(size_t size)
{
    std::vector<BYTE> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = BYTE(i * 7 + 3);
    return bytes;
}

// A secondary buffer that does what each test tells it: which Lock results to give, where
// to split the locked region into two parts, what SetVolume answers.
class StandInBuffer : public IDirectSoundBuffer {
public:
    LONG refs = 1;
    std::vector<HRESULT> lockResults;
    DWORD firstPartSize = 0;  // 0: one part for the whole buffer
    HRESULT volumeResult = DS_OK;
    int restores = 0;
    int unlocks = 0;
    LONG volume = 1;
    std::vector<BYTE> memory;

    explicit StandInBuffer(DWORD bytes) : memory(bytes, 0xEE) {}

    STDMETHOD(QueryInterface)(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(GetCaps)(LPDSBCAPS) override { return E_NOTIMPL; }
    STDMETHOD(GetCurrentPosition)(LPDWORD, LPDWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetFormat)(LPWAVEFORMATEX, DWORD, LPDWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetVolume)(LPLONG out) override { *out = volume; return DS_OK; }
    STDMETHOD(GetPan)(LPLONG) override { return E_NOTIMPL; }
    STDMETHOD(GetFrequency)(LPDWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetStatus)(LPDWORD) override { return E_NOTIMPL; }
    STDMETHOD(Initialize)(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return E_NOTIMPL; }
    STDMETHOD(Lock)(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second, DWORD* secondBytes,
                    DWORD) override
    {
        size_t call = locks++;
        HRESULT result = call < lockResults.size() ? lockResults[call] : DS_OK;
        if (FAILED(result))
            return result;
        EXPECT_EQ(offset, 0u);
        EXPECT_EQ(bytes, memory.size());
        DWORD split = firstPartSize ? firstPartSize : DWORD(memory.size());
        *first = memory.data();
        *firstBytes = split;
        *second = split < memory.size() ? memory.data() + split : nullptr;
        *secondBytes = DWORD(memory.size()) - split;
        return DS_OK;
    }
    STDMETHOD(Play)(DWORD, DWORD, DWORD) override { ++plays; return DS_OK; }
    STDMETHOD(SetCurrentPosition)(DWORD) override { return DS_OK; }
    STDMETHOD(SetFormat)(LPCWAVEFORMATEX) override { return E_NOTIMPL; }
    STDMETHOD(SetVolume)(LONG value) override
    {
        if (volumeResult == DS_OK)
            volume = value;
        return volumeResult;
    }
    STDMETHOD(SetPan)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetFrequency)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Stop)() override { return DS_OK; }
    STDMETHOD(Unlock)(void*, DWORD, void*, DWORD) override { ++unlocks; return DS_OK; }
    STDMETHOD(Restore)() override { ++restores; return DS_OK; }

    size_t locks = 0;
    int plays = 0;
};

// A device that refuses the buffer placements it is told to refuse and hands out
// stand-in buffers that it keeps, so that a test can look at them after the module let go.
class StandInDevice : public IDirectSound {
public:
    LONG refs = 1;
    bool refuseHardware = false;
    bool refuseSoftware = false;
    std::vector<HRESULT> lockResults;
    DWORD firstPartSize = 0;
    std::vector<DSBUFFERDESC> requests;
    std::vector<std::unique_ptr<StandInBuffer>> buffers;

    STDMETHOD(QueryInterface)(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(CreateSoundBuffer)(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* out, LPUNKNOWN) override
    {
        requests.push_back(*description);
        bool hardware = (description->dwFlags & DSBCAPS_LOCHARDWARE) != 0;
        if (hardware ? refuseHardware : refuseSoftware) {
            *out = nullptr;
            return DSERR_CONTROLUNAVAIL;
        }
        buffers.push_back(std::make_unique<StandInBuffer>(description->dwBufferBytes));
        buffers.back()->lockResults = lockResults;
        buffers.back()->firstPartSize = firstPartSize;
        *out = buffers.back().get();
        return DS_OK;
    }
    STDMETHOD(GetCaps)(LPDSCAPS) override { return E_NOTIMPL; }
    STDMETHOD(DuplicateSoundBuffer)(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER*) override { return E_NOTIMPL; }
    STDMETHOD(SetCooperativeLevel)(HWND, DWORD) override { return DS_OK; }
    STDMETHOD(Compact)() override { return DS_OK; }
    STDMETHOD(GetSpeakerConfig)(LPDWORD) override { return E_NOTIMPL; }
    STDMETHOD(SetSpeakerConfig)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Initialize)(LPCGUID) override { return E_NOTIMPL; }
};

class AudioModule : public ::testing::Test {
protected:
    void SetUp() override { ResetAudioModule(); }
    void TearDown() override { ResetAudioModule(); }

    // Sound on and an instance without a device, as the default Wine set-up gives.
    void SwitchOnWithoutDevice()
    {
        SetSoundEnabled(1);
        ASSERT_FALSE(InitSound(nullptr)) << "this test program expects no sound device";
        ASSERT_NE(g_pSoundSystem, nullptr);
        ASSERT_EQ(g_pSoundSystem->device, nullptr);
    }

    void UseDevice(StandInDevice& device) { g_pSoundSystem->device = &device; }

    const SoundEffect* Record(const char* name)
    {
        for (const SoundEffect& effect : g_pSoundSystem->effects)
            if (std::strcmp(effect.name, name) == 0)
                return &effect;
        return nullptr;
    }

    TempFolder folder_;
};

TEST_F(AudioModule, SoundOffCreatesNothingLoadsNothingAndShowsNothing)
{
    MessageBoxWatcher watcher;
    EXPECT_FALSE(InitSound(nullptr));
    EXPECT_EQ(g_pSoundSystem, nullptr);
    EXPECT_FALSE(LoadSoundEffect("missing.wav")) << "sound off must not even open the file";
    PlaySoundEffect("missing.wav");
    SetSoundEffectVolume("missing.wav", -100);
    EXPECT_FALSE(LoadMusic("missing.mp3"));
    PlayMusic("later.mp3");
    StopMusic();
    SetMusicVolume(-100);
    ShutdownSound();
    EXPECT_STREQ(g_szLastMusic, "later.mp3") << "the name is remembered for SOUND ON";

    // An instance made while sound was on stays, and stays untouched, once it is off.
    SwitchOnWithoutDevice();
    SoundSystem* instance = g_pSoundSystem;
    SetSoundEnabled(0);
    EXPECT_FALSE(InitSound(nullptr));
    EXPECT_EQ(g_pSoundSystem, instance);
    EXPECT_FALSE(LoadSoundEffect("missing.wav"));
    EXPECT_EQ(g_pSoundSystem->loadedMusic[0], '\0');
    EXPECT_TRUE(watcher.Seen().empty()) << watcher.Seen()[0].text;
}

TEST_F(AudioModule, WithoutADeviceEveryCallIsHarmlessAndOnlyTheReaderSpeaks)
{
    WriteWave(folder_.File("test.wav"), Pattern(64));
    CopyFileOver(HostPath(DIST_DIR "/test.mp3"), folder_.File("test.mp3"));
    // The launcher's own COM use on this thread must survive the module's.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);

    MessageBoxWatcher watcher;
    SwitchOnWithoutDevice();
    EXPECT_FALSE(LoadSoundEffect("test.wav")) << "nothing to make a buffer on";
    PlaySoundEffect("test.wav");
    SetSoundEffectVolume("test.wav", -300);
    EXPECT_TRUE(LoadMusic("test.mp3"));
    SetMusicVolume(-300);
    PlayMusic("test.mp3");
    StopMusic();
    PlayMusic("test.mp3");
    SetSoundEnabled(0);
    SetSoundEnabled(1);
    EXPECT_TRUE(watcher.Seen().empty()) << watcher.Seen()[0].text;

    EXPECT_FALSE(LoadSoundEffect("missing.wav"));
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, "Error Loading Wave File");

    ShutdownSound();
    ShutdownSound();
    EXPECT_EQ(g_pSoundSystem->graph, nullptr);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "the module uninitialised COM more often than it initialised it";
    CoUninitialize();
    CoUninitialize();
}

struct LoadCase {
    const char* name;
    bool refuseHardware;
    bool refuseSoftware;
    std::vector<HRESULT> lockResults;
    DWORD firstPartSize;
    bool loads;
    int restores;
    const char* message;
};

TEST_F(AudioModule, LoadingAnEffectCopesWithWhatTheDeviceDoes)
{
    const std::vector<BYTE> samples = Pattern(100);
    WriteWave(folder_.File("effect.wav"), samples);
    const LoadCase cases[] = {
        {"hardware buffer", false, false, {}, 0, true, 0, nullptr},
        {"software buffer after hardware is refused", true, false, {}, 0, true, 0, nullptr},
        {"both placements refused", true, true, {}, 0, false, 0, "Could not Create Software Sound Buffer."},
        {"buffer lost, restored", false, false, {DSERR_BUFFERLOST, DS_OK}, 0, true, 1, nullptr},
        {"buffer lost again after restoring", false, false, {DSERR_BUFFERLOST, DSERR_BUFFERLOST}, 0, false, 1,
         nullptr},
        {"lock refused", false, false, {DSERR_INVALIDCALL}, 0, false, 0, nullptr},
        {"locked region in two parts", false, false, {}, 37, true, 0, nullptr},
    };
    for (const LoadCase& row : cases) {
        SCOPED_TRACE(row.name);
        ResetAudioModule();
        SwitchOnWithoutDevice();
        StandInDevice device;
        device.refuseHardware = row.refuseHardware;
        device.refuseSoftware = row.refuseSoftware;
        device.lockResults = row.lockResults;
        device.firstPartSize = row.firstPartSize;
        UseDevice(device);

        MessageBoxWatcher watcher;
        EXPECT_EQ(LoadSoundEffect("effect.wav"), row.loads);

        std::vector<SeenMessageBox> boxes = watcher.Seen();
        if (row.message) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, row.message);
            EXPECT_EQ(boxes[0].owner, nullptr);
        } else {
            EXPECT_TRUE(boxes.empty()) << boxes[0].text;
        }

        ASSERT_FALSE(device.requests.empty());
        EXPECT_EQ(device.requests[0].dwSize, 36u);
        EXPECT_EQ(device.requests[0].dwFlags, DWORD(DSBCAPS_CTRLVOLUME | DSBCAPS_LOCHARDWARE));
        EXPECT_EQ(device.requests[0].dwBufferBytes, samples.size());
        if (row.refuseHardware) {
            ASSERT_EQ(device.requests.size(), 2u);
            EXPECT_EQ(device.requests[1].dwFlags, DWORD(DSBCAPS_CTRLVOLUME));
        }

        const SoundEffect* record = Record("effect.wav");
        ASSERT_NE(record, nullptr) << "the record stays in the list even when the load fails";
        EXPECT_EQ(g_pSoundSystem->effects.size(), 1u);
        if (row.loads) {
            ASSERT_EQ(device.buffers.size(), 1u);
            StandInBuffer& buffer = *device.buffers[0];
            EXPECT_EQ(record->buffer, &buffer);
            EXPECT_EQ(buffer.memory, samples);
            EXPECT_EQ(buffer.unlocks, 1);
            EXPECT_EQ(buffer.restores, row.restores);
            EXPECT_EQ(buffer.volume, 0) << "a fresh effect starts at full volume";
            PlaySoundEffect("effect.wav");
            EXPECT_EQ(buffer.plays, 1);
        } else {
            EXPECT_EQ(record->buffer, nullptr);
            for (const auto& buffer : device.buffers) {
                EXPECT_EQ(buffer->refs, 0) << "a buffer that could not be filled is given back";
                EXPECT_EQ(buffer->unlocks, 0);
                EXPECT_EQ(buffer->restores, row.restores);
                EXPECT_EQ(buffer->memory, std::vector<BYTE>(samples.size(), 0xEE)) << "nothing written";
            }
            PlaySoundEffect("effect.wav");
            SetSoundEffectVolume("effect.wav", -100);
            EXPECT_EQ(watcher.Seen().size(), boxes.size()) << "play and volume skip a record without a buffer";
        }
        ReleaseSoundEffects();
        EXPECT_EQ(device.refs, 0);
        for (const auto& buffer : device.buffers)
            EXPECT_EQ(buffer->refs, 0);
    }
}

TEST_F(AudioModule, ReloadingGivesBackTheReplacedBuffer)
{
    WriteWave(folder_.File("effect.wav"), Pattern(40));
    SwitchOnWithoutDevice();
    StandInDevice device;
    UseDevice(device);

    ASSERT_TRUE(LoadSoundEffect("effect.wav"));
    SetSoundEffectVolume("effect.wav", -2500);
    ASSERT_TRUE(LoadSoundEffect("effect.wav"));

    ASSERT_EQ(device.buffers.size(), 2u);
    EXPECT_EQ(device.buffers[0]->refs, 0) << "the replaced buffer is leaked";
    EXPECT_EQ(g_pSoundSystem->effects.size(), 1u);
    EXPECT_EQ(Record("effect.wav")->buffer, device.buffers[1].get());
    EXPECT_EQ(device.buffers[1]->volume, 0);
    ReleaseSoundEffects();
}

TEST_F(AudioModule, AVolumeTheBufferRefusesIsReportedOverTheWindow)
{
    WriteWave(folder_.File("effect.wav"), Pattern(40));
    HWND window = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetSoundEnabled(1);
    InitSound(window);
    StandInDevice device;
    UseDevice(device);
    ASSERT_TRUE(LoadSoundEffect("effect.wav"));
    device.buffers[0]->volumeResult = DSERR_CONTROLUNAVAIL;

    MessageBoxWatcher watcher;
    SetSoundEffectVolume("effect.wav", -700);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, "error in volume up setvolume");
    EXPECT_EQ(watcher.Seen()[0].caption, "error");
    EXPECT_EQ(watcher.Seen()[0].owner, window);
    EXPECT_EQ(device.buffers[0]->volume, 0) << "the effect keeps its previous volume";
    ReleaseSoundEffects();
    DestroyWindow(window);
}

}
