#pragma once
// The audio module's state, shared by its effect and music halves. Only the module
// and its tests include this header; everyone else goes through audio.h.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <dshow.h>

#include <list>

const int kEffectNameSize = 256;
const int kMusicNameSize = 512;
const int kLastMusicSize = 256;

struct SoundEffect {
    char name[kEffectNameSize];
    IDirectSoundBuffer* buffer;
};

struct SoundSystem {
    HWND window;
    IDirectSound* device;
    std::list<SoundEffect> effects;
    char loadedMusic[kMusicNameSize];
    IGraphBuilder* graph;
    IMediaControl* control;
    IMediaSeeking* seeking;
    IBaseFilter* currentSource;
    IBaseFilter* nextSource;
    IBasicAudio* audio;
};

extern SoundSystem* g_pSoundSystem;
extern int g_nSoundEnabled;
extern char g_szLastMusic[kLastMusicSize];
extern int g_nComReadyCount;
extern int g_nGraphBuildCount;
// CoInitialize calls of this module that have not been undone yet.
extern int g_nComInitCount;

// True when sound is switched on and there is an instance to work on.
bool SoundGateOpen();

void ReleaseEffectsAndDevice(SoundSystem& sound);
bool CreateMusicGraph();
// Stops the music, releases the graph and gives back this module's hold on COM. Only
// one instance ever has a graph, so no graph outlives COM.
void ReleaseMusic(SoundSystem& sound);
