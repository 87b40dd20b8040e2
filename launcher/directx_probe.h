#pragma once
#include <windows.h>

// The installed DirectX release as 0xMMmm (0x801 for 8.1 or later), 0 without a usable
// DirectDraw. The rung that stops the probe says why in one line of debugger output.
// Needs no window; frees, releases and uninitialises all it loaded, created or initialised.
DWORD DetectDirectXVersion();
