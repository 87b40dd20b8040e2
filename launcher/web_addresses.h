#pragma once
// The web pages the launcher opens with the shell.

// Where a player without DirectX 8.1 gets the runtime.
extern const char kDirectXDownloadUrl[];
// The game's home page, opened from the Game Mode page.
extern const char kGameWebSiteUrl[];
