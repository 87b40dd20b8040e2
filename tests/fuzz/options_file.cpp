// What a stored "options.bin" of any length and content becomes: the record the launcher
// reads from it, and the buttons and slider positions the options dialog shows for it.
#include "fuzz_check.h"
#include "game_options.h"
#include "resource.h"

#include <cstdint>
#include <cstring>

namespace {

uint32_t StoredWord(const uint8_t* data, size_t offset)
{
    return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
           static_cast<uint32_t>(data[offset + 2]) << 16 | static_cast<uint32_t>(data[offset + 3]) << 24;
}

bool IsOneOf(int button, int first, int last)
{
    return button == 0 || (button >= first && button <= last);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GameOptions options = {};
    std::memset(&options, 0xA5, sizeof options);
    const GameOptions untouched = options;
    if (!DecodeGameOptions(data, size, &options)) {
        // A file shorter than one record is unreadable and leaves the caller's record alone.
        FUZZ_CHECK(size < sizeof(GameOptions));
        FUZZ_CHECK(std::memcmp(&options, &untouched, sizeof options) == 0);
        return 0;
    }
    FUZZ_CHECK(size >= sizeof(GameOptions));
    FUZZ_CHECK(std::memcmp(options.reserved1, data, sizeof options.reserved1) == 0);
    FUZZ_CHECK(options.dwSize == StoredWord(data, 32));
    FUZZ_CHECK(options.bSoundOn == StoredWord(data, 36));
    FUZZ_CHECK(static_cast<uint32_t>(options.lMusicVolume) == StoredWord(data, 40));
    FUZZ_CHECK(static_cast<uint32_t>(options.lSoundVolume) == StoredWord(data, 44));
    FUZZ_CHECK(options.bFullScreen == StoredWord(data, 48));
    FUZZ_CHECK(options.dwResolution == StoredWord(data, 52));
    FUZZ_CHECK(options.bSinglePlayer == StoredWord(data, 56));
    FUZZ_CHECK(options.dwDetail == StoredWord(data, 60));
    FUZZ_CHECK(options.dwParticles == StoredWord(data, 64));
    FUZZ_CHECK(options.bMipmapping == StoredWord(data, 68));
    FUZZ_CHECK(std::memcmp(options.reserved2, data + 72, sizeof options.reserved2) == 0);

    OptionsChoices choices = ChoicesFromOptions(options);
    FUZZ_CHECK(choices.nGameMode == (options.bSinglePlayer == 1 ? IDC_SINGLE_PLAYER : IDC_MULTI_PLAYER));
    FUZZ_CHECK(choices.bSoundOn == (options.bSoundOn == 1));
    FUZZ_CHECK(choices.nScreen == (options.bFullScreen == 1 ? IDC_FULL_SCREEN : IDC_WINDOW));
    FUZZ_CHECK(IsOneOf(choices.nResolution, IDC_RES_32BIT, IDC_RES_16BIT));
    FUZZ_CHECK((choices.nResolution == 0) == (options.dwResolution > 1));
    FUZZ_CHECK(IsOneOf(choices.nDetail, IDC_DETAIL_SPEED, IDC_DETAIL_QUALITY));
    FUZZ_CHECK((choices.nDetail == 0) == (options.dwDetail > 1));
    FUZZ_CHECK(IsOneOf(choices.nMipmapping, IDC_MIPMAP_ON, IDC_MIPMAP_OFF));
    FUZZ_CHECK((choices.nMipmapping == 0) == (options.bMipmapping > 1));
    FUZZ_CHECK(choices.nParticles == 0 || choices.nParticles == IDC_PARTICLES_LOW ||
               choices.nParticles == IDC_PARTICLES_MEDIUM || choices.nParticles == IDC_PARTICLES_HIGH);
    FUZZ_CHECK((choices.nParticles == 0) == (options.dwParticles > 2));
    FUZZ_CHECK(choices.lSoundVolume == options.lSoundVolume && choices.lMusicVolume == options.lMusicVolume);
    return 0;
}
