#pragma once
// The public page of live games (GET /) and its stylesheet (GET /style.css). Plain HTML
// that refreshes itself with a meta refresh: no script, nothing loaded from elsewhere.
#include "host_snapshot.h"

#include <string>
#include <vector>

extern const char* const GAMES_PAGE_STYLESHEET_PATH;
extern const char* const GAMES_PAGE_STYLESHEET;

// The page for the hosts, in any order (the page shows them newest first), as of now.
std::string GamesPage(std::vector<HostSnapshot> hosts, WallClock::time_point now);
