#include "page_table.h"

#include "resource.h"
#include "wizard_pages.h"

namespace {

struct PageEntry {
    int index;
    int dialog;
    DLGPROC procedure;
    int headerTitle;     // string ids; 0 for the exterior page, which has no header
    int headerSubtitle;
};

const PageEntry kPages[WIZARD_PAGE_COUNT] = {
    {PAGE_WELCOME, IDD_WELCOME, WelcomePageProc, 0, 0},
    {PAGE_HOST_JOIN, IDD_HOST_JOIN, HostJoinPageProc, IDS_HOST_JOIN_TITLE, IDS_HOST_JOIN_SUBTITLE},
    {PAGE_CONNECT_METHOD, IDD_CONNECT_METHOD, ConnectMethodPageProc, IDS_CONNECT_METHOD_TITLE,
     IDS_CONNECT_METHOD_SUBTITLE},
    {PAGE_DIRECT_CONNECT, IDD_DIRECT_CONNECT, DirectConnectPageProc, IDS_DIRECT_CONNECT_TITLE,
     IDS_DIRECT_CONNECT_SUBTITLE},
    {PAGE_LAN_LIST, IDD_LAN_LIST, LanListPageProc, IDS_LAN_LIST_TITLE, IDS_LAN_LIST_SUBTITLE},
    {PAGE_INTERNET_LIST, IDD_INTERNET_LIST, InternetListPageProc, IDS_INTERNET_LIST_TITLE,
     IDS_INTERNET_LIST_SUBTITLE},
    {PAGE_CLIENT_LOBBY, IDD_CLIENT_LOBBY, ClientLobbyPageProc, IDS_CLIENT_LOBBY_TITLE, IDS_CLIENT_LOBBY_SUBTITLE},
    {PAGE_SERVER_SETUP, IDD_SERVER_SETUP, ServerSetupPageProc, IDS_SERVER_SETUP_TITLE, IDS_SERVER_SETUP_SUBTITLE},
    {PAGE_SERVER_LOBBY, IDD_SERVER_LOBBY, ServerLobbyPageProc, IDS_SERVER_LOBBY_TITLE, IDS_SERVER_LOBBY_SUBTITLE},
};

HPROPSHEETPAGE CreatePage(HINSTANCE instance, WizardSharedData* shared, const PageEntry& entry)
{
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEA(entry.dialog);
    page.pfnDlgProc = entry.procedure;
    page.lParam = reinterpret_cast<LPARAM>(shared);
    if (entry.headerTitle == 0) {
        page.dwFlags = PSP_HIDEHEADER;
    } else {
        page.dwFlags = PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
        page.pszHeaderTitle = MAKEINTRESOURCEA(entry.headerTitle);
        page.pszHeaderSubTitle = MAKEINTRESOURCEA(entry.headerSubtitle);
    }
    return CreatePropertySheetPageA(&page);
}

} // namespace

bool CreateWizardPages(HINSTANCE instance, WizardSharedData* shared, HPROPSHEETPAGE pages[WIZARD_PAGE_COUNT])
{
    for (const PageEntry& entry : kPages) {
        pages[entry.index] = CreatePage(instance, shared, entry);
        if (!pages[entry.index]) {
            for (int i = 0; i < entry.index; ++i)
                DestroyPropertySheetPage(pages[i]);
            return false;
        }
    }
    return true;
}

PROPSHEETHEADERA WizardSheetHeader(HINSTANCE instance, HPROPSHEETPAGE pages[WIZARD_PAGE_COUNT])
{
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = WIZARD_SHEET_FLAGS;
    header.hwndParent = nullptr;
    header.hInstance = instance;
    header.pszbmWatermark = MAKEINTRESOURCEA(IDB_WATERMARK);
    header.pszbmHeader = MAKEINTRESOURCEA(IDB_HEADER);
    header.phpage = pages;
    header.nPages = WIZARD_PAGE_COUNT;
    header.nStartPage = WIZARD_START_PAGE;
    return header;
}
