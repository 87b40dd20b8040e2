// Where LAN queries go and the discovery port, as the build was configured.
#include "lan_discovery.h"

const char* g_szLanQueryAddress = QUARV_LAN_QUERY_ADDRESS;
int g_nLanDiscoveryPort = QUARV_LAN_DISCOVERY_PORT;
