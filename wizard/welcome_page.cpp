// The exterior page at index 0. The sheet opens on the host/join page and no page moves
// back to this one, so a player never sees it; it stays so that the page indices hold.
#include "resource.h"
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

void OnInitDialog(HWND page, LPARAM lParam)
{
    KeepSharedData(page, lParam);
    WizardSharedData* shared = SharedDataOf(page);
    if (shared->hTitleFont)
        SendDlgItemMessageA(page, IDC_WELCOME_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(shared->hTitleFont), TRUE);

    HWND sheet = GetParent(page);
    RECT frame = {};
    GetWindowRect(sheet, &frame);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    SetWindowPos(sheet, HWND_TOPMOST, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE);
}

void OnNotify(HWND page, LPARAM lParam)
{
    if (NotifyCode(lParam) == PSN_SETACTIVE)
        SetWizardButtons(page, BUTTONS_NEXT);
}

} // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(page, lParam);
        return 0;
    case WM_NOTIFY:
        OnNotify(page, lParam);
        return 0;
    }
    return 0;
}
