#include "audio.h"
#include "sound_system.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

template <class Interface>
void ReleaseInterface(Interface*& pointer)
{
    if (pointer) {
        pointer->Release();
        pointer = nullptr;
    }
}

void ReleaseGraph(SoundSystem& sound)
{
    ReleaseInterface(sound.nextSource);
    ReleaseInterface(sound.currentSource);
    ReleaseInterface(sound.seeking);
    ReleaseInterface(sound.audio);
    ReleaseInterface(sound.control);
    ReleaseInterface(sound.graph);
}

// The source was added under the file's name, which may be longer than a filter name
// can be (128 characters): every filter goes back into the graph under a name of the
// graph's choosing.
bool ReaddFilters(IGraphBuilder* graph)
{
    IEnumFilters* filters = nullptr;
    if (FAILED(graph->EnumFilters(&filters)))
        return false;
    size_t count = 0;
    while (filters->Skip(1) == S_OK)
        ++count;
    std::vector<IBaseFilter*> found;
    found.reserve(count);
    filters->Reset();
    for (size_t i = 0; i < count; ++i) {
        IBaseFilter* filter = nullptr;
        if (filters->Next(1, &filter, nullptr) != S_OK || !filter)
            break;
        found.push_back(filter);
    }
    filters->Release();

    for (IBaseFilter* filter : found) {
        graph->RemoveFilter(filter);
        graph->AddFilter(filter, nullptr);
        filter->Release();
    }
    return true;
}

bool BuildGraph(SoundSystem& sound, const char* fileName)
{
    char name[kMusicNameSize] = {};
    std::snprintf(name, sizeof name, "%s", fileName);
    WCHAR wideName[kMusicNameSize] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, kMusicNameSize);

    if (!sound.graph || !sound.control)
        return false;
    bool built = SUCCEEDED(sound.graph->AddSourceFilter(wideName, wideName, &sound.nextSource));
    if (!built)
        sound.nextSource = nullptr;
    if (built)
        built = SUCCEEDED(sound.control->Stop());
    IPin* pin = nullptr;
    if (built)
        built = SUCCEEDED(sound.nextSource->FindPin(L"Output", &pin));
    if (built)
        built = ReaddFilters(sound.graph);
    if (built) {
        built = SUCCEEDED(sound.graph->Render(pin));
        if (built) {
            sound.currentSource = sound.nextSource;
            sound.nextSource = nullptr;
        }
    }
    ReleaseInterface(pin);
    ReleaseInterface(sound.nextSource);
    return built;
}

void UninitialiseCom()
{
    for (; g_nComInitCount > 0; --g_nComInitCount)
        CoUninitialize();
    // The next graph must initialise COM again.
    g_nComReadyCount = 0;
}

}

bool CreateMusicGraph()
{
    if (!SoundGateOpen())
        return false;
    SoundSystem& sound = *g_pSoundSystem;

    if (g_nComReadyCount == 0) {
        if (FAILED(CoInitialize(nullptr)))
            return false;
        ++g_nComInitCount;
    }
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IGraphBuilder, reinterpret_cast<void**>(&sound.graph)))) {
        sound.graph = nullptr;
        return false;
    }
    ++g_nComReadyCount;

    if (FAILED(sound.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&sound.control)))) {
        sound.control = nullptr;
        return false;
    }
    if (FAILED(sound.graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&sound.seeking)))) {
        sound.seeking = nullptr;
        return false;
    }
    if (FAILED(sound.graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&sound.audio)))) {
        sound.audio = nullptr;
        return false;
    }
    return true;
}

bool LoadMusic(const char* fileName)
{
    if (!SoundGateOpen())
        return false;
    SoundSystem& sound = *g_pSoundSystem;
    if (std::strcmp(fileName, sound.loadedMusic) == 0) {
        StopMusic();
        return true;
    }

    if (g_nGraphBuildCount != 0) {
        // Released while running, the old graph would otherwise be stopped only when its
        // last reference goes, wherever that is.
        if (sound.control)
            sound.control->Stop();
        ReleaseGraph(sound);
    }
    ++g_nGraphBuildCount;
    CreateMusicGraph();
    lstrcpynA(sound.loadedMusic, fileName, kMusicNameSize);

    // A file that cannot be opened or rendered stays "loaded" with a silent graph, so
    // that the callers' later calls find nothing to do rather than rebuilding each time.
    if (BuildGraph(sound, fileName) && sound.seeking) {
        LONGLONG start = 0;
        sound.seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }
    SetMusicVolume(0);
    ReleaseInterface(sound.currentSource);
    return true;
}

void PlayMusic(const char* fileName)
{
    // Remembered even while sound is off, so that SOUND ON can start it.
    if (fileName != g_szLastMusic)
        lstrcpynA(g_szLastMusic, fileName, kLastMusicSize);
    if (!SoundGateOpen())
        return;
    SoundSystem& sound = *g_pSoundSystem;
    if (std::strcmp(fileName, sound.loadedMusic) != 0)
        LoadMusic(fileName);
    if (sound.control)
        sound.control->Run();
}

void StopMusic()
{
    if (!SoundGateOpen() || !g_pSoundSystem->control)
        return;
    SoundSystem& sound = *g_pSoundSystem;
    sound.control->Stop();
    if (!sound.seeking)
        return;
    LONGLONG current = 0;
    LONGLONG stop = 0;
    sound.seeking->GetPositions(&current, &stop);
    current = 0;
    sound.seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning);
}

void SetMusicVolume(long volume)
{
    if (!SoundGateOpen())
        return;
    SoundSystem& sound = *g_pSoundSystem;
    if (sound.loadedMusic[0] == '\0')
        return;
    if (volume < -10000)
        volume = -10000;
    if (volume > 0)
        volume = 0;
    if (sound.audio)
        sound.audio->put_Volume(volume);
}

void SetSoundEnabled(int on)
{
    if (on) {
        g_nSoundEnabled = 1;
        LoadMusic(g_szLastMusic);
        PlayMusic(g_szLastMusic);
    } else {
        if (g_nSoundEnabled == 1)
            StopMusic();
        g_nSoundEnabled = 0;
    }
}

void ReleaseMusic(SoundSystem& sound)
{
    if (sound.control)
        sound.control->Stop();
    ReleaseGraph(sound);
    UninitialiseCom();
}

void ShutdownSound()
{
    if (!SoundGateOpen())
        return;
    ReleaseSoundEffects();
    ReleaseMusic(*g_pSoundSystem);
}
