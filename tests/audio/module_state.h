#pragma once
// Puts the audio module back to its state at process start, so that tests do not
// depend on the order they run in.
#include "sound_system.h"

inline void ResetAudioModule()
{
    if (g_pSoundSystem) {
        ReleaseEffectsAndDevice(*g_pSoundSystem);
        ReleaseMusic(*g_pSoundSystem);
        delete g_pSoundSystem;
        g_pSoundSystem = nullptr;
    }
    g_nSoundEnabled = 0;
    g_szLastMusic[0] = '\0';
}
