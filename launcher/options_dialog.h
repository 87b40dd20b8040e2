#pragma once
// The options dialog: the launcher's whole user interface.
#include <windows.h>

// The dialog the message loop feeds; cleared when a dialog is destroyed.
extern HWND g_hOptionsDlg;
// TRUE after the music TEST button was pressed an odd number of times.
extern BOOL g_bMusicTestPlaying;

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the controls of page 0 (Game Mode), 1 (Video) or 2 (Audio) and hides those of the
// other pages; any other index hides them all.
void ShowOptionsPage(HWND dialog, int page);

// Creates an options dialog owned by owner, makes it the current one and shows it.
void OpenOptionsDialog(HINSTANCE instance, HWND owner);
