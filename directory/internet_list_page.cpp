// Holds the Internet list page's place in the wizard: it keeps the page parameter, offers
// Back only and returns to the connection-method page. Downloading, showing and joining
// the directory's servers come with the directory requests.
#include "internet_list_page.h"

#include "wizard_frame.h"

namespace {

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        SetWizardButtons(page, BUTTONS_BACK);
        break;
    case PSN_WIZBACK:
        JumpOnBack(page, PAGE_CONNECT_METHOD);
        break;
    }
}

} // namespace

INT_PTR CALLBACK InternetListPageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        KeepSharedData(page, lParam);
        SetWizardButtons(page, BUTTONS_BACK);
        return 0;
    case WM_NOTIFY:
        OnNotify(page, lParam);
        return 0;
    }
    return 0;
}
