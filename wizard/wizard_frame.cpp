#include "wizard_frame.h"

volatile LONG g_bStartGame;

namespace {
const int MIN_PORT = 1;
const int MAX_PORT = 36000;
}

void KeepSharedData(HWND page, LPARAM initParam)
{
    const PROPSHEETPAGEA* description = reinterpret_cast<const PROPSHEETPAGEA*>(initParam);
    SetWindowLongPtrA(page, GWLP_USERDATA, description->lParam);
}

WizardSharedData* SharedDataOf(HWND page)
{
    return reinterpret_cast<WizardSharedData*>(GetWindowLongPtrA(page, GWLP_USERDATA));
}

void SetWizardButtons(HWND page, DWORD buttons)
{
    // Posted: a page often changes its buttons while the sheet is still in the middle of
    // a page change, and the last request must be the one that stays.
    PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, buttons);
}

void JumpOnNext(HWND page, int target)
{
    SendMessageA(GetParent(page), PSM_SETCURSEL, target - 1, 0);
}

void JumpOnBack(HWND page, int target)
{
    SendMessageA(GetParent(page), PSM_SETCURSEL, target + 1, 0);
}

bool IsCurrentPage(HWND page)
{
    return reinterpret_cast<HWND>(SendMessageA(GetParent(page), PSM_GETCURRENTPAGEHWND, 0, 0)) == page;
}

UINT NotifyCode(LPARAM lParam)
{
    return reinterpret_cast<const NMHDR*>(lParam)->code;
}

bool IsPortInRange(int port)
{
    return port >= MIN_PORT && port <= MAX_PORT;
}

void ShowPortRangeMessage(HWND page)
{
    MessageBoxA(page, "Value Must be between 1 and 36000", "Information", MB_OK);
}
