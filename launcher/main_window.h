#pragma once
// The launcher's main window: never seen, it anchors the accelerator keys, owns the
// options dialog and ends the message loop when it is destroyed.
#include <windows.h>

// TRUE while the main window is neither minimised nor hidden behind a maximised window.
extern BOOL g_bAppActive;

extern const char kMainWindowClassName[];  // "FullScreenDialog"

// Registers the window class, loads the accelerator table, creates and shows the main
// window. Returns S_OK, or E_FAIL when the class or the window cannot be made.
HRESULT CreateMainWindow(HINSTANCE instance, int showCommand, HWND* mainWindow, HACCEL* accelerators);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
