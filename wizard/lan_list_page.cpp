// Index 4, the LAN server list. LAN discovery does not exist: nothing selects this page's
// method, and its list and buttons do nothing. It holds its place in the page order.
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        SetWizardButtons(page, BUTTONS_BACK_NEXT);
        break;
    case PSN_WIZNEXT:
        JumpOnNext(page, PAGE_CLIENT_LOBBY);
        break;
    case PSN_WIZBACK:
        JumpOnBack(page, PAGE_CONNECT_METHOD);
        break;
    }
}

} // namespace

INT_PTR CALLBACK LanListPageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        KeepSharedData(page, lParam);
        SetWizardButtons(page, BUTTONS_BACK_NEXT);
        return 0;
    case WM_NOTIFY:
        OnNotify(page, lParam);
        return 0;
    }
    return 0;
}
