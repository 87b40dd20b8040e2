#pragma once
// "options.bin": the player's choices as the game reads them, one 164-byte record.
#include <windows.h>

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

extern const char kOptionsFileName[];         // "options.bin"
extern const char kOptionsTempFileName[];     // written first, then put in its place
extern const char kDefaultOptionsFileName[];  // "defoptions.bin", shipped beside the launcher

// Writes the dialog's choices to "options.bin". On failure the previous file, if any, is
// left as it was and false is returned.
bool SaveOptionsFile(HWND dialog);

// Sets the dialog's controls from "options.bin", else "defoptions.bin"; with neither,
// only the 32-bit resolution is checked.
void LoadOptionsToDialog(HWND dialog);

// Reads "options.bin", else "defoptios.bin", into *options; with neither, *options is
// left as passed.
void ReadOptionsFile(GameOptions* options);
