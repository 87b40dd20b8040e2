#include "options_file.h"

#include <commctrl.h>

#include <cstdio>

#include "audio.h"
#include "resource.h"

const char kOptionsFileName[] = "options.bin";
const char kOptionsTempFileName[] = "options.bin.tmp";
const char kDefaultOptionsFileName[] = "defoptions.bin";
// The START path's fallback has always had this name; installed games may ship it so.
static const char kReadBackFallbackFileName[] = "defoptios.bin";

namespace {

bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

LONG SliderPosition(HWND dialog, int id)
{
    return static_cast<LONG>(SendDlgItemMessageA(dialog, id, TBM_GETPOS, 0, 0));
}

void SetSliderPosition(HWND dialog, int id, LONG position)
{
    SendDlgItemMessageA(dialog, id, TBM_SETPOS, TRUE, position);
}

bool ReadRecord(const char* name, GameOptions* options)
{
    FILE* file = std::fopen(name, "rb");
    if (!file)
        return false;
    uint8_t bytes[sizeof(GameOptions)] = {};
    size_t length = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    return DecodeGameOptions(bytes, length, options);
}

// Checks one button of the group from first to last, unless the record left it to the dialog.
void CheckGroupButton(HWND dialog, int first, int last, int button)
{
    if (button != 0)
        CheckRadioButton(dialog, first, last, button);
}

// The record sits in the stream's buffer until it is flushed, so a full disk shows up
// only then; not every runtime's fclose reports a failed flush, hence the explicit one.
bool WriteRecord(const char* name, const GameOptions& options)
{
    FILE* file = std::fopen(name, "wb");
    if (!file)
        return false;
    bool written = std::fwrite(&options, sizeof options, 1, file) == 1;
    bool flushed = std::fflush(file) == 0;
    bool closed = std::fclose(file) == 0;
    return written && flushed && closed;
}

GameOptions OptionsFromDialog(HWND dialog)
{
    GameOptions options = {};
    options.dwSize = sizeof options;
    options.bSinglePlayer = IsChecked(dialog, IDC_SINGLE_PLAYER) ? 1 : 0;
    options.bSoundOn = IsChecked(dialog, IDC_SOUND_ON) ? 1 : 0;
    options.bFullScreen = IsChecked(dialog, IDC_FULL_SCREEN) ? 1 : 0;

    if (IsChecked(dialog, IDC_RES_32BIT))
        options.dwResolution = 0;
    else if (IsChecked(dialog, IDC_RES_16BIT))
        options.dwResolution = 1;

    if (IsChecked(dialog, IDC_DETAIL_SPEED))
        options.dwDetail = 0;
    else if (IsChecked(dialog, IDC_DETAIL_QUALITY))
        options.dwDetail = 1;

    if (IsChecked(dialog, IDC_MIPMAP_ON))
        options.bMipmapping = 1;
    else if (IsChecked(dialog, IDC_MIPMAP_OFF))
        options.bMipmapping = 0;

    if (IsChecked(dialog, IDC_PARTICLES_LOW))
        options.dwParticles = 0;
    else if (IsChecked(dialog, IDC_PARTICLES_MEDIUM))
        options.dwParticles = 1;
    else if (IsChecked(dialog, IDC_PARTICLES_HIGH))
        options.dwParticles = 2;

    options.lSoundVolume = SliderPosition(dialog, IDC_SOUND_SLIDER);
    options.lMusicVolume = SliderPosition(dialog, IDC_MUSIC_SLIDER);
    return options;
}

void SetSoundControls(HWND dialog, bool soundOn)
{
    if (soundOn) {
        CheckRadioButton(dialog, IDC_SOUND_ON, IDC_SOUND_OFF, IDC_SOUND_ON);
        SetSoundEnabled(true);
        SetSoundEnabled(true);
        InitSound(dialog);
    } else {
        CheckRadioButton(dialog, IDC_SOUND_ON, IDC_SOUND_OFF, IDC_SOUND_OFF);
        SetSoundEnabled(false);
    }
}

} // namespace

bool SaveOptionsFile(HWND dialog)
{
    GameOptions options = OptionsFromDialog(dialog);
    // The game must never find a truncated record: the new one is complete on disk
    // before it takes the old one's place.
    if (!WriteRecord(kOptionsTempFileName, options)) {
        std::remove(kOptionsTempFileName);
        return false;
    }
    if (!MoveFileExA(kOptionsTempFileName, kOptionsFileName,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::remove(kOptionsTempFileName);
        return false;
    }
    return true;
}

void LoadOptionsToDialog(HWND dialog)
{
    GameOptions options = {};
    if (!ReadRecord(kOptionsFileName, &options) && !ReadRecord(kDefaultOptionsFileName, &options)) {
        CheckRadioButton(dialog, IDC_RES_32BIT, IDC_RES_16BIT, IDC_RES_32BIT);
        return;
    }

    OptionsChoices choices = ChoicesFromOptions(options);
    CheckRadioButton(dialog, IDC_SINGLE_PLAYER, IDC_MULTI_PLAYER, choices.nGameMode);
    SetSoundControls(dialog, choices.bSoundOn);
    CheckRadioButton(dialog, IDC_FULL_SCREEN, IDC_WINDOW, choices.nScreen);
    CheckGroupButton(dialog, IDC_RES_32BIT, IDC_RES_16BIT, choices.nResolution);
    CheckGroupButton(dialog, IDC_DETAIL_SPEED, IDC_DETAIL_QUALITY, choices.nDetail);
    CheckGroupButton(dialog, IDC_MIPMAP_ON, IDC_MIPMAP_OFF, choices.nMipmapping);
    CheckGroupButton(dialog, IDC_PARTICLES_LOW, IDC_PARTICLES_HIGH, choices.nParticles);

    // The sliders clamp a stored volume outside their range to the nearest end.
    SetSliderPosition(dialog, IDC_SOUND_SLIDER, choices.lSoundVolume);
    SetSliderPosition(dialog, IDC_MUSIC_SLIDER, choices.lMusicVolume);
}

void ReadOptionsFile(GameOptions* options)
{
    if (!ReadRecord(kOptionsFileName, options))
        ReadRecord(kReadBackFallbackFileName, options);
}
