// Index 3: the host's address and port typed in, and the connection made on Next.
#include "net.h"
#include "net_options.h"
#include "resource.h"
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

void OnAddressChange(HWND page)
{
    GetDlgItemTextA(page, IDC_ADDRESS, g_NetOptions.szServerAddress, NET_TEXT_SIZE);
    if (g_NetOptions.szServerAddress[0] == '\0')
        SetWizardButtons(page, BUTTONS_BACK);
    else if (IsPortInRange(g_NetOptions.nServerPort))
        SetWizardButtons(page, BUTTONS_BACK_NEXT);
}

void OnPortChange(HWND page)
{
    g_NetOptions.nServerPort = static_cast<int>(GetDlgItemInt(page, IDC_PORT, nullptr, TRUE));
    if (IsPortInRange(g_NetOptions.nServerPort)) {
        if (g_NetOptions.szServerAddress[0] != '\0')
            SetWizardButtons(page, BUTTONS_BACK_NEXT);
    } else {
        SetWizardButtons(page, BUTTONS_BACK);
        ShowPortRangeMessage(page);
    }
}

void OnCommand(HWND page, WPARAM wParam)
{
    if (HIWORD(wParam) != EN_CHANGE)
        return;
    switch (LOWORD(wParam)) {
    case IDC_ADDRESS:
        OnAddressChange(page);
        break;
    case IDC_PORT:
        OnPortChange(page);
        break;
    }
}

// Each Next is a new attempt; the reason for a failure stays in szClientError.
void OnWizardNext(HWND page)
{
    SetPlayerIdTarget(&g_NetOptions.nPlayerId);
    if (InitializeClient(g_NetOptions.szServerAddress, g_NetOptions.nServerPort, g_NetOptions.szClientError)) {
        JumpOnNext(page, PAGE_CLIENT_LOBBY);
        return;
    }
    MessageBoxA(page, "Unable to connect to server", "Connection Error", MB_OK);
    // Selecting the page before this one lets the sheet's own step land here again, which
    // shows the page anew with only Back enabled.
    JumpOnNext(page, PAGE_DIRECT_CONNECT);
}

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        SetWizardButtons(page, BUTTONS_BACK);
        break;
    case PSN_WIZNEXT:
        OnWizardNext(page);
        break;
    }
}

} // namespace

INT_PTR CALLBACK DirectConnectPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
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
