#pragma once
// "options.bin": the player's choices as the game reads them, one 164-byte record.
#include <windows.h>

#include "game_options.h"

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
