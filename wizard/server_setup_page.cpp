// Index 7: the hosted server's name, port and whether to publish it.
#include "net_options.h"
#include "resource.h"
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

void UpdateButtons(HWND page)
{
    if (g_NetOptions.szServerName[0] == '\0')
        SetWizardButtons(page, BUTTONS_BACK);
    else if (IsPortInRange(g_NetOptions.nHostPort))
        SetWizardButtons(page, BUTTONS_BACK_NEXT);
}

void OnPortChange(HWND page)
{
    g_NetOptions.nHostPort = static_cast<int>(GetDlgItemInt(page, IDC_PORT, nullptr, TRUE));
    if (IsPortInRange(g_NetOptions.nHostPort)) {
        if (g_NetOptions.szServerName[0] != '\0')
            SetWizardButtons(page, BUTTONS_BACK_NEXT);
    } else {
        SetWizardButtons(page, BUTTONS_BACK);
        ShowPortRangeMessage(page);
    }
}

void OnCommand(HWND page, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_SERVER_NAME:
        if (HIWORD(wParam) == EN_CHANGE) {
            GetDlgItemTextA(page, IDC_SERVER_NAME, g_NetOptions.szServerName, NET_TEXT_SIZE);
            UpdateButtons(page);
        }
        break;
    case IDC_PORT:
        if (HIWORD(wParam) == EN_CHANGE)
            OnPortChange(page);
        break;
    case IDC_PUBLISH_SERVER:
        g_NetOptions.bPublishServer = IsDlgButtonChecked(page, IDC_PUBLISH_SERVER) == BST_CHECKED ? 1 : 0;
        break;
    }
}

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        UpdateButtons(page);
        break;
    case PSN_WIZNEXT:
        JumpOnNext(page, PAGE_SERVER_LOBBY);
        break;
    case PSN_WIZBACK:
        JumpOnBack(page, PAGE_HOST_JOIN);
        break;
    }
}

} // namespace

INT_PTR CALLBACK ServerSetupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        KeepSharedData(page, lParam);
        SetWizardButtons(page, BUTTONS_BACK_NEXT);
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
