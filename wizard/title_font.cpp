#include "title_font.h"

#include <cstring>

namespace {
// The size of NONCLIENTMETRICS before Windows Vista added a field: every system accepts it.
const UINT NONCLIENT_METRICS_SIZE = 340;
const int TITLE_POINTS = 12;
const LONG TITLE_WEIGHT = 700;
}

static_assert(sizeof(NONCLIENTMETRICSA) >= NONCLIENT_METRICS_SIZE, "NONCLIENTMETRICSA holds the older layout");

HFONT CreateTitleFont()
{
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = NONCLIENT_METRICS_SIZE;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, NONCLIENT_METRICS_SIZE, &metrics, 0);

    LOGFONTA font = metrics.lfMessageFont;
    font.lfWeight = TITLE_WEIGHT;
    std::strcpy(font.lfFaceName, "Verdana Bold");
    HDC screen = GetDC(nullptr);
    font.lfHeight = -(TITLE_POINTS * GetDeviceCaps(screen, LOGPIXELSY) / 72);
    ReleaseDC(nullptr, screen);
    return CreateFontIndirectA(&font);
}
