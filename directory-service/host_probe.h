#pragma once
// Checks that published hosts really accept lobby connections: connect to each and read
// its first bytes. A lobby host opens every connection with the handshake word 12345, or,
// when it is full, with the 8-byte header of its server-full message; either proves it alive.
#include "directory.h"

#include <chrono>
#include <vector>

// Probes all targets at once; result i tells whether target i answered as a lobby host
// within the time-out (which covers connect and answer together).
std::vector<bool> ProbeHosts(const std::vector<ProbeTarget>& targets, std::chrono::milliseconds timeout);
