// Placeholder until the probe is built: reports DirectX 8.1 so the launcher starts.
#include "directx_probe.h"

DWORD DetectDirectXVersion()
{
    return 0x801;
}
