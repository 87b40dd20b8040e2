#include "dialog_fixture.h"

#include <commctrl.h>

#include "module_state.h"
#include "options_dialog.h"
#include "resource.h"

namespace {
const int kAudioPage = 2;
}

void AudioDialogTest::SetUp()
{
    ResetAudioModule();
    g_bMusicTestPlaying = FALSE;
}

void AudioDialogTest::TearDown()
{
    if (dialog_)
        DestroyWindow(dialog_);
    g_hOptionsDlg = nullptr;
    // Destroying the dialog posts the quit message; left in the queue it would end the
    // next message box of this thread at once.
    Pump();
    ResetAudioModule();
}

void AudioDialogTest::CopySamples()
{
    ASSERT_TRUE(CopyFileOver(HostPath(DIST_DIR "/test.wav"), folder_.File("test.wav")));
    ASSERT_TRUE(CopyFileOver(HostPath(DIST_DIR "/test.mp3"), folder_.File("test.mp3")));
}

void AudioDialogTest::Open(bool shown)
{
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr,
                                 OptionsDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    g_hOptionsDlg = dialog_;
    if (shown) {
        ShowWindow(dialog_, SW_SHOWNORMAL);
        SendDlgItemMessageA(dialog_, IDC_TAB, TCM_SETCURFOCUS, kAudioPage, 0);
        Pump();
        ASSERT_TRUE(IsWindowVisible(GetDlgItem(dialog_, IDC_MUSIC_SLIDER))) << "the Audio page is not shown";
    }
}

void AudioDialogTest::Click(int id)
{
    SendMessageA(GetDlgItem(dialog_, id), BM_CLICK, 0, 0);
}

void AudioDialogTest::MoveSlider(int id, LONG position)
{
    HWND slider = GetDlgItem(dialog_, id);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    UpdateWindow(slider);
    Pump();
}

std::string AudioDialogTest::Text(int id) const
{
    char text[64] = {};
    GetDlgItemTextA(dialog_, id, text, sizeof text);
    return text;
}

void AudioDialogTest::Pump()
{
    MSG message = {};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
