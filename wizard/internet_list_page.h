#pragma once
// The Internet server list page (dialog 113, index 5); its procedure is in wizard_pages.h.

// Set by a connect request without a selection: the next refresh request (button or
// activation) then only clears it instead of downloading.
extern int g_bSkipListRefresh;
