#include "audio.h"
#include "sound_system.h"
#include "wave_reader.h"

#include <cstring>

namespace {

static_assert(sizeof(DSBUFFERDESC) == 36, "the buffer description carries the 3D algorithm");

SoundEffect* FindEffect(SoundSystem& sound, const char* name)
{
    for (SoundEffect& effect : sound.effects)
        if (std::strcmp(effect.name, name) == 0)
            return &effect;
    return nullptr;
}

SoundEffect& FindOrAddEffect(SoundSystem& sound, const char* name)
{
    if (SoundEffect* effect = FindEffect(sound, name))
        return *effect;
    SoundEffect added = {};
    lstrcpynA(added.name, name, kEffectNameSize);
    sound.effects.push_back(added);
    return sound.effects.back();
}

void ReleaseBuffer(SoundEffect& effect)
{
    if (effect.buffer) {
        effect.buffer->Release();
        effect.buffer = nullptr;
    }
}

HRESULT CreateBuffer(IDirectSound* device, const WaveData& wave, SoundEffect& effect)
{
    // The reader's format is the 16-byte PCM record; DirectSound is given the full
    // structure with an empty extra part rather than trusted not to read past it.
    WAVEFORMATEX format = {};
    std::memcpy(&format, &wave.format, sizeof wave.format);

    DSBUFFERDESC description = {};
    description.dwSize = sizeof description;
    description.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_LOCHARDWARE;
    description.dwBufferBytes = wave.sampleBytes;
    description.lpwfxFormat = &format;
    HRESULT result = device->CreateSoundBuffer(&description, &effect.buffer, nullptr);
    if (FAILED(result)) {
        effect.buffer = nullptr;
        description.dwFlags = DSBCAPS_CTRLVOLUME;
        result = device->CreateSoundBuffer(&description, &effect.buffer, nullptr);
        if (FAILED(result))
            effect.buffer = nullptr;
    }
    return result;
}

// False when the buffer could not be locked: nothing is written then.
bool CopySamples(IDirectSoundBuffer* buffer, const WaveData& wave)
{
    void* first = nullptr;
    DWORD firstBytes = 0;
    void* second = nullptr;
    DWORD secondBytes = 0;
    HRESULT result = buffer->Lock(0, wave.sampleBytes, &first, &firstBytes, &second, &secondBytes, 0);
    if (result == DSERR_BUFFERLOST) {
        buffer->Restore();
        result = buffer->Lock(0, wave.sampleBytes, &first, &firstBytes, &second, &secondBytes, 0);
    }
    if (FAILED(result) || !first)
        return false;

    DWORD firstCopy = firstBytes < wave.sampleBytes ? firstBytes : wave.sampleBytes;
    std::memcpy(first, wave.samples.get(), firstCopy);
    if (second) {
        DWORD rest = wave.sampleBytes - firstCopy;
        std::memcpy(second, wave.samples.get() + firstCopy, secondBytes < rest ? secondBytes : rest);
    }
    buffer->Unlock(first, firstBytes, second, secondBytes);
    return true;
}

}

bool LoadSoundEffect(const char* fileName)
{
    if (!SoundGateOpen())
        return false;
    // A longer name could never be found again under its own key.
    if (lstrlenA(fileName) >= kEffectNameSize)
        return false;

    WaveData wave = {};
    if (!ReadWaveFile(fileName, wave))
        return false;
    SoundSystem& sound = *g_pSoundSystem;
    if (!sound.device)
        return false;

    SoundEffect& effect = FindOrAddEffect(sound, fileName);
    // A reload replaces the buffer; the old one would otherwise stay allocated for
    // as long as the process lives.
    ReleaseBuffer(effect);
    if (FAILED(CreateBuffer(sound.device, wave, effect))) {
        MessageBoxA(nullptr, "Could not Create Software Sound Buffer.", nullptr, MB_OK);
        return false;
    }
    if (!CopySamples(effect.buffer, wave)) {
        ReleaseBuffer(effect);
        return false;
    }

    SetSoundEffectVolume(fileName, 0);
    return true;
}

void PlaySoundEffect(const char* name)
{
    if (!SoundGateOpen())
        return;
    SoundEffect* effect = FindEffect(*g_pSoundSystem, name);
    if (!effect || !effect->buffer)
        return;
    effect->buffer->SetCurrentPosition(0);
    effect->buffer->Play(0, 0, 0);
}

void SetSoundEffectVolume(const char* name, long volume)
{
    if (!SoundGateOpen())
        return;
    if (volume < DSBVOLUME_MIN)
        volume = DSBVOLUME_MIN;
    if (volume > DSBVOLUME_MAX)
        volume = DSBVOLUME_MAX;

    SoundSystem& sound = *g_pSoundSystem;
    SoundEffect* effect = FindEffect(sound, name);
    if (!effect || !effect->buffer)
        return;
    if (effect->buffer->SetVolume(volume) != DS_OK)
        MessageBoxA(sound.window, "error in volume up setvolume", "error", MB_OK);
}

void ReleaseEffectsAndDevice(SoundSystem& sound)
{
    while (!sound.effects.empty()) {
        ReleaseBuffer(sound.effects.front());
        sound.effects.pop_front();
    }
    if (sound.device) {
        sound.device->Release();
        sound.device = nullptr;
    }
}

void ReleaseSoundEffects()
{
    if (!SoundGateOpen())
        return;
    ReleaseEffectsAndDevice(*g_pSoundSystem);
}
