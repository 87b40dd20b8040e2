#pragma once
// The wizard's Internet server list page (dialog 113, index 5 of the wizard's sheet).
#include <windows.h>

// Set by a connect request without a selection: the next refresh request (button or
// activation) then only clears it instead of downloading.
extern int g_bSkipListRefresh;

INT_PTR CALLBACK InternetListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
