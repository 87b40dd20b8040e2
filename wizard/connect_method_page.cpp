// Index 2: how a joining player finds the host.
#include "net_options.h"
#include "resource.h"
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

void ChooseMethod(HWND page, int method)
{
    g_NetOptions.nConnectMethod = method;
    SetWizardButtons(page, BUTTONS_BACK_NEXT);
}

void OnCommand(HWND page, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_METHOD_DIRECT:
        ChooseMethod(page, CONNECT_DIRECT);
        break;
    case IDC_METHOD_LAN:
        ChooseMethod(page, CONNECT_LAN);
        break;
    case IDC_METHOD_INTERNET:
        ChooseMethod(page, CONNECT_INTERNET);
        break;
    }
}

void OnWizardNext(HWND page)
{
    switch (g_NetOptions.nConnectMethod) {
    case CONNECT_DIRECT:
        break;
    case CONNECT_LAN:
        JumpOnNext(page, PAGE_LAN_LIST);
        break;
    case CONNECT_INTERNET:
        JumpOnNext(page, PAGE_INTERNET_LIST);
        break;
    default:
        // Next is kept disabled until a method is clicked, so only a forced Next lands here;
        // it goes on as the direct connection.
        MessageBoxA(page, "Please select an option first", "INFORMATION", MB_OK);
        break;
    }
}

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        // A method must be clicked on every showing, even with a radio button still checked.
        SetWizardButtons(page, BUTTONS_BACK);
        break;
    case PSN_WIZNEXT:
        OnWizardNext(page);
        break;
    }
}

} // namespace

INT_PTR CALLBACK ConnectMethodPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        KeepSharedData(page, lParam);
        SetWizardButtons(page, BUTTONS_BACK);
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
