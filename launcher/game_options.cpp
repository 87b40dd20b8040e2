#include "game_options.h"

#include <cstring>

#include "resource.h"

namespace {

uint32_t GetUint32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

int32_t GetInt32(const uint8_t* p)
{
    return static_cast<int32_t>(GetUint32(p));
}

// The button of a group that shows a stored value; 0 for a value outside the group's set.
int ButtonFor(uint32_t value, const int* buttons, uint32_t count)
{
    return value < count ? buttons[value] : 0;
}

}  // namespace

bool DecodeGameOptions(const uint8_t* pBytes, size_t nLength, GameOptions* options)
{
    if (nLength < sizeof(GameOptions))
        return false;
    GameOptions record = {};
    std::memcpy(record.reserved1, pBytes, sizeof record.reserved1);
    record.dwSize = GetUint32(pBytes + offsetof(GameOptions, dwSize));
    record.bSoundOn = GetUint32(pBytes + offsetof(GameOptions, bSoundOn));
    record.lMusicVolume = GetInt32(pBytes + offsetof(GameOptions, lMusicVolume));
    record.lSoundVolume = GetInt32(pBytes + offsetof(GameOptions, lSoundVolume));
    record.bFullScreen = GetUint32(pBytes + offsetof(GameOptions, bFullScreen));
    record.dwResolution = GetUint32(pBytes + offsetof(GameOptions, dwResolution));
    record.bSinglePlayer = GetUint32(pBytes + offsetof(GameOptions, bSinglePlayer));
    record.dwDetail = GetUint32(pBytes + offsetof(GameOptions, dwDetail));
    record.dwParticles = GetUint32(pBytes + offsetof(GameOptions, dwParticles));
    record.bMipmapping = GetUint32(pBytes + offsetof(GameOptions, bMipmapping));
    std::memcpy(record.reserved2, pBytes + offsetof(GameOptions, reserved2), sizeof record.reserved2);
    *options = record;
    return true;
}

OptionsChoices ChoicesFromOptions(const GameOptions& options)
{
    static const int kResolutions[] = {IDC_RES_32BIT, IDC_RES_16BIT};
    static const int kDetails[] = {IDC_DETAIL_SPEED, IDC_DETAIL_QUALITY};
    static const int kMipmapping[] = {IDC_MIPMAP_OFF, IDC_MIPMAP_ON};
    static const int kParticles[] = {IDC_PARTICLES_LOW, IDC_PARTICLES_MEDIUM, IDC_PARTICLES_HIGH};

    // Flags other than 1 read as off; values outside a group's set leave that group alone.
    OptionsChoices choices = {};
    choices.nGameMode = options.bSinglePlayer == 1 ? IDC_SINGLE_PLAYER : IDC_MULTI_PLAYER;
    choices.bSoundOn = options.bSoundOn == 1;
    choices.nScreen = options.bFullScreen == 1 ? IDC_FULL_SCREEN : IDC_WINDOW;
    choices.nResolution = ButtonFor(options.dwResolution, kResolutions, 2);
    choices.nDetail = ButtonFor(options.dwDetail, kDetails, 2);
    choices.nMipmapping = ButtonFor(options.bMipmapping, kMipmapping, 2);
    choices.nParticles = ButtonFor(options.dwParticles, kParticles, 3);
    choices.lSoundVolume = options.lSoundVolume;
    choices.lMusicVolume = options.lMusicVolume;
    return choices;
}
