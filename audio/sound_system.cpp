#include "audio.h"
#include "sound_system.h"

#include <new>

SoundSystem* g_pSoundSystem = nullptr;
int g_nSoundEnabled = 0;
char g_szLastMusic[kLastMusicSize] = "";
int g_nComReadyCount = 0;
int g_nGraphBuildCount = 0;
int g_nComInitCount = 0;

bool SoundGateOpen()
{
    return g_nSoundEnabled && g_pSoundSystem;
}

int IsSoundEnabled()
{
    return g_nSoundEnabled;
}

bool InitSound(HWND window)
{
    if (!g_nSoundEnabled)
        return false;

    // Every SOUND ON press and every new options dialog comes through here. The
    // instance it replaces goes completely, music included: kept alive, it would go
    // on playing with nothing left that could stop it.
    if (g_pSoundSystem) {
        ReleaseEffectsAndDevice(*g_pSoundSystem);
        ReleaseMusic(*g_pSoundSystem);
        delete g_pSoundSystem;
        g_pSoundSystem = nullptr;
    }

    SoundSystem* sound = new (std::nothrow) SoundSystem();
    if (!sound)
        return false;
    g_pSoundSystem = sound;
    sound->window = window;

    if (FAILED(DirectSoundCreate(nullptr, &sound->device, nullptr))) {
        sound->device = nullptr;
        return false;
    }
    sound->device->SetCooperativeLevel(window, DSSCL_PRIORITY);
    return true;
}
