#pragma once
// The wizard's Internet server list page (dialog 113, index 5 of the wizard's sheet).
#include <windows.h>

INT_PTR CALLBACK InternetListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
