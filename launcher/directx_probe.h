#pragma once
#include <windows.h>

// The installed DirectX release as 0xMMmm (0x801 for 8.1 or later), 0 without DirectDraw.
DWORD DetectDirectXVersion();
