#include "options_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "audio.h"
#include "options_file.h"
#include "resource.h"
#include "web_addresses.h"

HWND g_hOptionsDlg = nullptr;
BOOL g_bMusicTestPlaying = FALSE;

namespace {

const char kSoundSample[] = "test.wav";
const char kMusicSample[] = "test.mp3";
const char kGameProgram[] = "quarv.exe";
const char kWizardProgram[] = "Hollagrin.exe";

const char kSaveFailedText[] =
    "Your options could not be saved to \"options.bin\", so the game was not started.\n\n"
    "Make sure the game's folder can be written to and the disk is not full, "
    "then press START again.";
const char kSaveFailedCaption[] = "OPTIONS NOT SAVED";

const LONG kQuietestVolume = -6000;
const LONG kSoundSliderPageSize = 250;
const LONG kMusicSliderPageSize = 300;

// The pages are not dialogs of their own: every control is a child of the options dialog,
// and a page is the set of controls shown while its tab is selected.
const int kGameModeControls[] = {
    IDC_GAME_MODE_GROUP, IDC_SINGLE_PLAYER, IDC_MULTI_PLAYER, IDC_TITLE_PICTURE, IDC_WEBSITE,
};
const int kVideoControls[] = {
    IDC_SCREEN_GROUP, IDC_FULL_SCREEN, IDC_WINDOW, IDC_RES_32BIT, IDC_RES_16BIT,
    IDC_DETAIL_SPEED, IDC_DETAIL_QUALITY, IDC_MIPMAP_ON, IDC_MIPMAP_OFF,
    IDC_PARTICLES_LOW, IDC_PARTICLES_MEDIUM, IDC_PARTICLES_HIGH,
    IDC_RESOLUTION_GROUP, IDC_DETAIL_GROUP, IDC_MIPMAP_GROUP, IDC_PARTICLES_GROUP,
};
const int kAudioControls[] = {
    IDC_SOUND_SLIDER, IDC_MUSIC_SLIDER, IDC_SOUND_TEST, IDC_MUSIC_TEST,
    IDC_SOUND_LABEL, IDC_MUSIC_LABEL, IDC_SOUND_ON, IDC_SOUND_OFF, IDC_SOUND_GROUP,
};

struct OptionsPage {
    const char* title;
    const int* controls;
    int count;
};

const OptionsPage kPages[] = {
    {"Game Mode", kGameModeControls, ARRAYSIZE(kGameModeControls)},
    {"Video", kVideoControls, ARRAYSIZE(kVideoControls)},
    {"Audio", kAudioControls, ARRAYSIZE(kAudioControls)},
};
const int kPageCount = ARRAYSIZE(kPages);

LONG SliderPosition(HWND dialog, int id)
{
    return static_cast<LONG>(SendDlgItemMessageA(dialog, id, TBM_GETPOS, 0, 0));
}

void InsertTabs(HWND dialog)
{
    for (int page = 0; page < kPageCount; ++page) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kPages[page].title);
        SendDlgItemMessageA(dialog, IDC_TAB, TCM_INSERTITEMA, page, reinterpret_cast<LPARAM>(&item));
    }
}

void SetUpSliders(HWND dialog)
{
    SendDlgItemMessageA(dialog, IDC_SOUND_SLIDER, TBM_SETPOS, TRUE, 0);
    SendDlgItemMessageA(dialog, IDC_SOUND_SLIDER, TBM_SETRANGEMAX, TRUE, 0);
    SendDlgItemMessageA(dialog, IDC_SOUND_SLIDER, TBM_SETRANGEMIN, TRUE, kQuietestVolume);
    SendDlgItemMessageA(dialog, IDC_SOUND_SLIDER, TBM_SETPAGESIZE, 0, kSoundSliderPageSize);

    // The packed range carries the minimum as a 16-bit value; the trackbar sign-extends it.
    SendDlgItemMessageA(dialog, IDC_MUSIC_SLIDER, TBM_SETRANGE, TRUE,
                        MAKELPARAM(static_cast<WORD>(kQuietestVolume), 0));
    SendDlgItemMessageA(dialog, IDC_MUSIC_SLIDER, TBM_SETPAGESIZE, 0, kMusicSliderPageSize);
}

BOOL OnInitDialog(HWND dialog)
{
    CheckDlgButton(dialog, IDC_SINGLE_PLAYER, BST_CHECKED);
    CheckDlgButton(dialog, IDC_FULL_SCREEN, BST_CHECKED);
    CheckDlgButton(dialog, IDC_SOUND_ON, BST_CHECKED);
    InsertTabs(dialog);
    ShowOptionsPage(dialog, 0);
    InitSound(dialog);
    SetUpSliders(dialog);
    LoadOptionsToDialog(dialog);
    // TRUE lets the dialog give the focus to START, the first tab stop.
    return TRUE;
}

void OnStart(HWND dialog)
{
    GameOptions options = {};
    // Starting the game with stale options would lose the player's choices without a word:
    // say so and stay open instead.
    if (!SaveOptionsFile(dialog)) {
        MessageBoxA(dialog, kSaveFailedText, kSaveFailedCaption, MB_OK | MB_ICONERROR);
        return;
    }
    ShutdownSound();
    EndDialog(dialog, 1);
    // The game mode is taken from what the game will read, not from the controls.
    ReadOptionsFile(&options);
    WinExec(options.bSinglePlayer == 1 ? kGameProgram : kWizardProgram, SW_SHOW);
    PostQuitMessage(0);
}

void OnQuit(HWND dialog)
{
    EndDialog(dialog, 1);
    PostQuitMessage(0);
    ShutdownSound();
}

void OnSoundTest(HWND dialog)
{
    LoadSoundEffect(kSoundSample);
    SetSoundEffectVolume(kSoundSample, SliderPosition(dialog, IDC_SOUND_SLIDER));
    PlaySoundEffect(kSoundSample);
}

void OnMusicTest(HWND dialog)
{
    if (g_bMusicTestPlaying) {
        SetDlgItemTextA(dialog, IDC_MUSIC_TEST, "TEST");
        StopMusic();
    } else {
        SetDlgItemTextA(dialog, IDC_MUSIC_TEST, "STOP");
        LoadMusic(kMusicSample);
        SetMusicVolume(SliderPosition(dialog, IDC_MUSIC_SLIDER));
        PlayMusic(kMusicSample);
    }
    g_bMusicTestPlaying = !g_bMusicTestPlaying;
}

BOOL OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_START:
        OnStart(dialog);
        return TRUE;
    case IDC_QUIT:
        OnQuit(dialog);
        return TRUE;
    case IDC_WEBSITE:
        ShellExecuteA(dialog, "open", kGameWebSiteUrl, nullptr, nullptr, SW_SHOW);
        break;
    case IDC_SOUND_ON:
        SetSoundEnabled(true);
        InitSound(dialog);
        break;
    case IDC_SOUND_OFF:
        SetSoundEnabled(false);
        break;
    case IDC_SOUND_TEST:
        OnSoundTest(dialog);
        break;
    case IDC_MUSIC_TEST:
        OnMusicTest(dialog);
        break;
    }
    return FALSE;
}

// A trackbar notifies its parent whenever it paints, so the effects slider replays the
// sample while its thumb is dragged and again when it is let go.
BOOL OnNotify(HWND dialog, const NMHDR* header)
{
    if (header->code == static_cast<UINT>(TCN_SELCHANGE)) {
        int page = static_cast<int>(SendDlgItemMessageA(g_hOptionsDlg, IDC_TAB, TCM_GETCURSEL, 0, 0));
        ShowOptionsPage(dialog, page);
    } else if (header->idFrom == IDC_SOUND_SLIDER) {
        LONG volume = SliderPosition(dialog, IDC_SOUND_SLIDER);
        PlaySoundEffect(kSoundSample);
        SetSoundEffectVolume(kSoundSample, volume);
    } else if (header->idFrom == IDC_MUSIC_SLIDER) {
        SetMusicVolume(SliderPosition(dialog, IDC_MUSIC_SLIDER));
    }
    return FALSE;
}

// The default handling that follows turns the close box into the QUIT command.
void OnClose()
{
    ShutdownSound();
    PostQuitMessage(0);
}

void OnDestroy()
{
    ShutdownSound();
    g_hOptionsDlg = nullptr;
    PostQuitMessage(0);
}

} // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE:
        OnClose();
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    }
    return FALSE;
}

void ShowOptionsPage(HWND dialog, int page)
{
    for (const OptionsPage& each : kPages)
        for (int i = 0; i < each.count; ++i)
            ShowWindow(GetDlgItem(dialog, each.controls[i]), SW_HIDE);
    if (page < 0 || page >= kPageCount)
        return;
    for (int i = 0; i < kPages[page].count; ++i)
        ShowWindow(GetDlgItem(dialog, kPages[page].controls[i]), SW_SHOW);
}

void OpenOptionsDialog(HINSTANCE instance, HWND owner)
{
    g_hOptionsDlg = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_OPTIONS), owner, OptionsDialogProc, 0);
    ShowWindow(g_hOptionsDlg, SW_SHOWNORMAL);
}
