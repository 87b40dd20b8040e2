// Index 4: the games that answer a search of the local network, found when the page is
// shown and on request, and the connection to the one the player picks. The search never
// holds the sheet: the page collects the answers on a timer while the player looks on.
#include <cstdio>
#include <string>

#include "lan_discovery.h"
#include "resource.h"
#include "server_list_join.h"
#include "wizard_frame.h"
#include "wizard_pages.h"

namespace {

// Posted on activation: the sheet also activates this page when it passes it on its way to
// another one, and only a page the player really sees searches.
const UINT WM_SEARCH_SHOWN_PAGE = WM_APP + 1;
const UINT_PTR SEARCH_TIMER = 1;
const UINT SEARCH_POLL_MS = 50;

const char SEARCHING[] = "Searching the LAN for servers...";

// Whether the status line tells about the search, which then reports its outcome there; a
// selection or a connection attempt the player made in the meantime keeps its own line.
bool g_bSearchStatusShown;

void ShowStatus(HWND page, const std::string& text)
{
    ShowStatusNow(page, IDC_LAN_STATUS, text);
    g_bSearchStatusShown = false;
}

void ShowSearchStatus(HWND page, const std::string& text)
{
    ShowStatus(page, text);
    g_bSearchStatusShown = true;
}

std::string GameLine(const LanGame& game)
{
    char line[160] = {};
    std::snprintf(line, sizeof line, "%s  %s:%d  %d/%d", game.szName, game.szAddress, game.nPort, game.nPlayers,
                  game.nMaxPlayers);
    return line;
}

// The list box shows the games in the order of g_LanGames: a line's index is its game's.
void ListNewGames(HWND page)
{
    HWND list = GetDlgItem(page, IDC_SERVER_LIST);
    for (int i = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); i < g_nLanGames; ++i)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GameLine(g_LanGames[i]).c_str()));
}

void StopSearch(HWND page)
{
    KillTimer(page, SEARCH_TIMER);
    EndLanSearch();
}

void StartSearch(HWND page)
{
    StopSearch(page);
    SendDlgItemMessageA(page, IDC_SERVER_LIST, LB_RESETCONTENT, 0, 0);
    ShowSearchStatus(page, SEARCHING);
    if (!BeginLanSearch()) {
        ShowSearchStatus(page, std::string(SEARCHING) + " ERROR!");
        return;
    }
    SetTimer(page, SEARCH_TIMER, SEARCH_POLL_MS, nullptr);
}

std::string SearchOutcome()
{
    if (g_nLanGames == 0)
        return std::string(SEARCHING) + " NO SERVER ANSWERED!";
    return std::string(SEARCHING) + " " + std::to_string(g_nLanGames) + " FOUND!";
}

void OnSearchTimer(HWND page)
{
    bool searching = ContinueLanSearch();
    ListNewGames(page);
    if (searching)
        return;
    KillTimer(page, SEARCH_TIMER);
    if (g_bSearchStatusShown)
        ShowSearchStatus(page, SearchOutcome());
}

void OnSearchShownPage(HWND page)
{
    if (IsCurrentPage(page))
        StartSearch(page);
}

// The selected line's game index, or -1.
int SelectedGame(HWND page)
{
    LRESULT index = SendDlgItemMessageA(page, IDC_SERVER_LIST, LB_GETCURSEL, 0, 0);
    return index >= 0 && index < g_nLanGames ? static_cast<int>(index) : -1;
}

void OnSelectionChange(HWND page)
{
    int index = SelectedGame(page);
    if (index < 0)
        return;
    ShowStatus(page, "Server " + std::string(g_LanGames[index].szName) +
                         " is the current Selection Press \"Connect to server!\"");
}

void ConnectToSelection(HWND page)
{
    int index = SelectedGame(page);
    if (index < 0) {
        ShowStatus(page, "Error! Select a Server from the List first");
        return;
    }
    // The connection holds this thread for a while; answers that come meanwhile would only
    // be listed after it.
    StopSearch(page);
    const LanGame game = g_LanGames[index];
    JoinListedServer(page, IDC_LAN_STATUS, game.szName, game.szAddress, game.nPort);
}

void OnCommand(HWND page, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_LAN_REFRESH:
        StartSearch(page);
        break;
    case IDC_LAN_CONNECT:
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
        // Next is never enabled: the connect button leads on, and only with a connection.
        SetWizardButtons(page, BUTTONS_BACK);
        PostMessageA(page, WM_SEARCH_SHOWN_PAGE, 0, 0);
        break;
    case PSN_KILLACTIVE:
        StopSearch(page);
        break;
    case PSN_WIZNEXT:
        // Only a Next forced from outside gets here: the page stays.
        JumpOnNext(page, PAGE_LAN_LIST);
        break;
    case PSN_WIZBACK:
        JumpOnBack(page, PAGE_CONNECT_METHOD);
        break;
    }
}

} // namespace

INT_PTR CALLBACK LanListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
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
    case WM_TIMER:
        if (wParam == SEARCH_TIMER)
            OnSearchTimer(page);
        return 0;
    case WM_SEARCH_SHOWN_PAGE:
        OnSearchShownPage(page);
        return 0;
    case WM_DESTROY:
        StopSearch(page);
        return 0;
    }
    return 0;
}
