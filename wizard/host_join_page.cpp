// Index 1, where the sheet opens: host or join, and the player's name.
#include "net_options.h"
#include "resource.h"
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

const int PLAYER_NAME_LIMIT = 16;

void UpdateButtons(HWND page)
{
    bool ready = g_NetOptions.bRoleChosen && g_NetOptions.szPlayerName[0] != '\0';
    SetWizardButtons(page, ready ? BUTTONS_NEXT : BUTTONS_NONE);
}

void ReadPlayerName(HWND page)
{
    GetDlgItemTextA(page, IDC_PLAYER_NAME, g_NetOptions.szPlayerName, NET_TEXT_SIZE);
}

void OnInitDialog(HWND page, LPARAM lParam)
{
    KeepSharedData(page, lParam);
    SendDlgItemMessageA(page, IDC_PLAYER_NAME, EM_LIMITTEXT, PLAYER_NAME_LIMIT, 0);
}

void OnCommand(HWND page, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_HOST_GAME:
        g_NetOptions.bHost = 1;
        g_NetOptions.bRoleChosen = 1;
        break;
    case IDC_JOIN_GAME:
        g_NetOptions.bHost = 0;
        g_NetOptions.bRoleChosen = 1;
        break;
    case IDC_PLAYER_NAME:
        if (HIWORD(wParam) == EN_CHANGE)
            ReadPlayerName(page);
        break;
    }
    UpdateButtons(page);
}

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        ReadPlayerName(page);
        UpdateButtons(page);
        break;
    case PSN_WIZNEXT:
        if (g_NetOptions.bHost)
            JumpOnNext(page, PAGE_SERVER_SETUP);
        break;
    }
}

} // namespace

INT_PTR CALLBACK HostJoinPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(page, lParam);
        return 0;
    case WM_COMMAND:
        OnCommand(page, wParam);
        return 0;
    case WM_NOTIFY:
        OnNotify(page, lParam);
        return 0;
    }
    return 0;
}
