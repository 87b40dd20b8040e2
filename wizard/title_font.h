#pragma once
#include <windows.h>

// A bold 12-point "Verdana Bold" built on the system's message font; null if it could not
// be made, in which case the title keeps its dialog font.
HFONT CreateTitleFont();
