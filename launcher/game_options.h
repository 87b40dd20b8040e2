#pragma once
// The options record as bytes, and what a stored record means to the options dialog. No
// system header: the same code runs in the launcher and natively under the fuzzer.
#include <cstddef>
#include <cstdint>

struct GameOptions {
    uint8_t reserved1[32];
    uint32_t dwSize;        // always sizeof(GameOptions)
    uint32_t bSoundOn;
    int32_t lMusicVolume;   // hundredths of a decibel, -6000..0
    int32_t lSoundVolume;   // hundredths of a decibel, -6000..0
    uint32_t bFullScreen;
    uint32_t dwResolution;  // 0: 800 x 600 x 32, 1: 800 x 600 x 16
    uint32_t bSinglePlayer;
    uint32_t dwDetail;      // 0: speed, 1: quality
    uint32_t dwParticles;   // 0: low, 1: medium, 2: high
    uint32_t bMipmapping;
    uint8_t reserved2[92];
};

// The game reads the file as this exact layout.
static_assert(offsetof(GameOptions, dwSize) == 32, "GameOptions layout");
static_assert(offsetof(GameOptions, bSoundOn) == 36, "GameOptions layout");
static_assert(offsetof(GameOptions, lMusicVolume) == 40, "GameOptions layout");
static_assert(offsetof(GameOptions, lSoundVolume) == 44, "GameOptions layout");
static_assert(offsetof(GameOptions, bFullScreen) == 48, "GameOptions layout");
static_assert(offsetof(GameOptions, dwResolution) == 52, "GameOptions layout");
static_assert(offsetof(GameOptions, bSinglePlayer) == 56, "GameOptions layout");
static_assert(offsetof(GameOptions, dwDetail) == 60, "GameOptions layout");
static_assert(offsetof(GameOptions, dwParticles) == 64, "GameOptions layout");
static_assert(offsetof(GameOptions, bMipmapping) == 68, "GameOptions layout");
static_assert(offsetof(GameOptions, reserved2) == 72, "GameOptions layout");
static_assert(sizeof(GameOptions) == 164, "GameOptions layout");

// The record a stored file holds: its first 164 bytes, decoded little-endian. False for a
// file shorter than one record, which counts as unreadable: the caller must never see bytes
// the file did not hold.
bool DecodeGameOptions(const uint8_t* pBytes, size_t nLength, GameOptions* options);

// What the dialog shows for a record: for each group of buttons the one to check, or 0 to
// leave the group as the dialog started it; the sliders clamp the volumes themselves.
struct OptionsChoices {
    int nGameMode;
    bool bSoundOn;
    int nScreen;
    int nResolution;
    int nDetail;
    int nMipmapping;
    int nParticles;
    int32_t lSoundVolume;
    int32_t lMusicVolume;
};
OptionsChoices ChoicesFromOptions(const GameOptions& options);
