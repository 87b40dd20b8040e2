#pragma once
// Ports for lobby tests. The wizard takes ports 1 to 36000 only, above the range where the
// system hands out ports of its own choosing, so tests pick their own: derived from the
// process id, so that test programs running side by side on this machine rarely meet, and
// checked by binding first.
#include <winsock2.h>
#include <windows.h>

// A port in 1..36000 on which nothing listens at the moment.
int FreeWizardPort();
// A socket listening on such a port of 127.0.0.1; *port receives the port.
SOCKET ListenOnWizardPort(int* port);
