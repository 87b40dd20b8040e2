#pragma once
#include <windows.h>

// Pumps the launcher's messages until the quit message arrives and returns its exit code.
// The options dialog sees keyboard input before the accelerator table does, so Enter and
// Esc act on the dialog's START and QUIT buttons.
int RunMessageLoop(HWND mainWindow, HACCEL accelerators);
