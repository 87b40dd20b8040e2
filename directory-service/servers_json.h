#pragma once
// Every listed host as one JSON document (GET /servers.json), for other tools and sites:
//   {"generated": "<UTC>", "order": "newest first", "count": N,
//    "servers": [{"name": "...", "address": "a.b.c.d", "port": P,
//                 "listed_since": "<UTC>", "last_answered": "<UTC>"}, ...]}
// Times are "YYYY-MM-DDTHH:MM:SSZ", or null when not known.
#include "host_snapshot.h"

#include <string>
#include <vector>

std::string ServersJson(std::vector<HostSnapshot> hosts, WallClock::time_point now);
