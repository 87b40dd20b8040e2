#pragma once
// The launcher's audio module. Callers pass file names, slider positions and the
// dialog window; the module owns every audio object it creates.
// Volumes are hundredths of a decibel: 0 is full volume, -10000 silence.
#include <windows.h>

int IsSoundEnabled();
void SetSoundEnabled(int on);
bool InitSound(HWND window);

bool LoadSoundEffect(const char* fileName);
void PlaySoundEffect(const char* name);
void SetSoundEffectVolume(const char* name, long volume);
void ReleaseSoundEffects();

bool LoadMusic(const char* fileName);
void PlayMusic(const char* fileName);
void StopMusic();
void SetMusicVolume(long volume);

void ShutdownSound();
