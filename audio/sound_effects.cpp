// Placeholder bodies until the sound device and effects are built: nothing sounds.
#include "audio.h"

static int g_nSoundEnabled = 0;

int IsSoundEnabled()
{
    return g_nSoundEnabled;
}

void SetSoundEnabled(int on)
{
    g_nSoundEnabled = on ? 1 : 0;
}

bool InitSound(HWND)
{
    return false;
}

bool LoadSoundEffect(const char*)
{
    return false;
}

void PlaySoundEffect(const char*)
{
}

void SetSoundEffectVolume(const char*, long)
{
}

void ReleaseSoundEffects()
{
}
