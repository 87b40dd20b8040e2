// Index 5: the hosts the Internet server directory lists, downloaded when the page is shown
// and on request, and the connection to the one the player picks.
#include "internet_list_page.h"

#include <cstring>
#include <string>

#include "resource.h"
#include "server_directory.h"
#include "server_list_join.h"
#include "wizard_frame.h"

int g_bSkipListRefresh;

namespace {

// Posted on activation, so that the download starts once the sheet has settled. The sheet
// activates a page before it shows it, and it also activates this page on the way when
// another page jumps past it (a direct connection on to the lobby, the lobby back to the
// LAN page): such a player never sees this list and must not wait for it.
const UINT WM_REFRESH_SHOWN_LIST = WM_APP + 1;

const char DOWNLOADING[] = "Trying to Download the List of Servers...";

void ShowStatus(HWND page, const std::string& text)
{
    ShowStatusNow(page, IDC_INTERNET_STATUS, text);
}

bool IsAllZero(const ServerList& list)
{
    static const ServerList empty = {};
    return std::memcmp(&list, &empty, sizeof list) == 0;
}

void ShowList(HWND page)
{
    HWND list = GetDlgItem(page, IDC_SERVER_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    // Unused entries add empty lines, so that a line's index is its entry's index.
    for (const ServerEntry& entry : g_ServerList.aEntries)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(EntryText(entry.szName).c_str()));
}

void RefreshList(HWND page)
{
    if (g_bSkipListRefresh) {
        g_bSkipListRefresh = 0;
        return;
    }
    ShowStatus(page, DOWNLOADING);
    g_ServerList = ReadServerList();
    // The list box keeps the older names; the list behind them is gone.
    if (IsAllZero(g_ServerList)) {
        ShowStatus(page, std::string(DOWNLOADING) + " ERROR!");
        return;
    }
    ShowList(page);
    ShowStatus(page, std::string(DOWNLOADING) + " SUCCESS!");
}

void OnRefreshShownList(HWND page)
{
    // Only the page the sheet settled on downloads.
    if (IsCurrentPage(page))
        RefreshList(page);
}

// The selected line's entry index, or -1.
int SelectedEntry(HWND page)
{
    LRESULT index = SendDlgItemMessageA(page, IDC_SERVER_LIST, LB_GETCURSEL, 0, 0);
    return index >= 0 && index < SERVER_LIST_ENTRIES ? static_cast<int>(index) : -1;
}

void OnSelectionChange(HWND page)
{
    int index = SelectedEntry(page);
    if (index < 0)
        return;
    ShowStatus(page, "Server " + EntryText(g_ServerList.aEntries[index].szName) +
                         " is the current Selection Press \"Connect to Server!\"");
}

void ConnectToSelection(HWND page)
{
    int index = SelectedEntry(page);
    if (index < 0) {
        ShowStatus(page, "Error! Select a Server from the List first");
        g_bSkipListRefresh = 1;
        return;
    }
    const ServerEntry& entry = g_ServerList.aEntries[index];
    JoinListedServer(page, IDC_INTERNET_STATUS, EntryText(entry.szName), EntryText(entry.szAddress), entry.nPort);
}

void OnCommand(HWND page, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_INTERNET_REFRESH:
        RefreshList(page);
        break;
    case IDC_INTERNET_CONNECT:
        ConnectToSelection(page);
        break;
    case IDC_SERVER_LIST:
        if (HIWORD(wParam) == LBN_SELCHANGE)
            OnSelectionChange(page);
        break;
    }
}

void OnNotify(HWND page, LPARAM lParam)
{
    switch (NotifyCode(lParam)) {
    case PSN_SETACTIVE:
        // Next is never enabled: the connect button leads on.
        SetWizardButtons(page, BUTTONS_BACK);
        PostMessageA(page, WM_REFRESH_SHOWN_LIST, 0, 0);
        break;
    case PSN_WIZBACK:
        JumpOnBack(page, PAGE_CONNECT_METHOD);
        break;
    }
}

} // namespace

INT_PTR CALLBACK InternetListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
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
    case WM_REFRESH_SHOWN_LIST:
        OnRefreshShownList(page);
        return 0;
    }
    return 0;
}
