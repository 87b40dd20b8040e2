#pragma once
// What every page of the wizard shares: the page parameter block, the start flag, the
// page indices and the conventions by which a page talks to its sheet.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

// Every page keeps its address in its window's user data.
struct WizardSharedData {
    HFONT hTitleFont;  // bold 12-point title font for the welcome page
};

// 1 once the game is to start: the host pressed "Start Game" or the host's start signal
// reached a client. Read once, after the sheet has closed.
extern volatile LONG g_bStartGame;

// Positions of the pages in the sheet; the page jumps below count on them.
enum WizardPage {
    PAGE_WELCOME = 0,
    PAGE_HOST_JOIN = 1,
    PAGE_CONNECT_METHOD = 2,
    PAGE_DIRECT_CONNECT = 3,
    PAGE_LAN_LIST = 4,
    PAGE_INTERNET_LIST = 5,
    PAGE_CLIENT_LOBBY = 6,
    PAGE_SERVER_SETUP = 7,
    PAGE_SERVER_LOBBY = 8,
    WIZARD_PAGE_COUNT = 9
};

// Wizard buttons as PSM_SETWIZBUTTONS takes them.
const DWORD BUTTONS_NONE = 0;
const DWORD BUTTONS_BACK = PSWIZB_BACK;
const DWORD BUTTONS_NEXT = PSWIZB_NEXT;
const DWORD BUTTONS_BACK_NEXT = PSWIZB_BACK | PSWIZB_NEXT;
const DWORD BUTTONS_BACK_FINISH = PSWIZB_BACK | PSWIZB_FINISH;

// On WM_INITDIALOG: keeps the page parameter (the WizardSharedData) in the user data.
void KeepSharedData(HWND page, LPARAM initParam);
WizardSharedData* SharedDataOf(HWND page);

void SetWizardButtons(HWND page, DWORD buttons);

// The sheet moves one page forwards on Next and one backwards on Back, counted from the
// page that is current when the page procedure returns. To land elsewhere, a page selects
// the page one step short of its target from inside PSN_WIZNEXT or PSN_WIZBACK and returns 0.
void JumpOnNext(HWND page, int target);
void JumpOnBack(HWND page, int target);

// The sheet also activates the pages it passes on its way to another one. A page that
// starts work of its own on activation posts itself a message and, when it arrives, asks
// this before it starts: only the page the sheet settled on is current by then.
bool IsCurrentPage(HWND page);

// The page-header part of a WM_NOTIFY from the sheet.
UINT NotifyCode(LPARAM lParam);

bool IsPortInRange(int port);
// Shown whenever a port field is left outside 1..36000.
void ShowPortRangeMessage(HWND page);
