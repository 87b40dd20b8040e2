// Placeholder bodies until music playback is built: nothing sounds.
#include "audio.h"

bool LoadMusic(const char*)
{
    return false;
}

void PlayMusic(const char*)
{
}

void StopMusic()
{
}

void SetMusicVolume(long)
{
}

void ShutdownSound()
{
}
