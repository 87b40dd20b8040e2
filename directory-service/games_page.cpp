#include "games_page.h"

#include "text_escape.h"

#include <cstdio>

const char* const GAMES_PAGE_STYLESHEET_PATH = "/style.css";

const char* const GAMES_PAGE_STYLESHEET = R"(:root {
  color-scheme: light dark;
  --paper: #f6f4ef; --card: #ffffff; --ink: #1d2127; --muted: #5d6570;
  --line: #dcd8cf; --accent: #b3471b; --stripe: #faf8f4;
}
@media (prefers-color-scheme: dark) {
  :root {
    --paper: #15181d; --card: #1d2128; --ink: #e8e6e1; --muted: #9aa3ad;
    --line: #2e343d; --accent: #f0854f; --stripe: #21262e;
  }
}
* { box-sizing: border-box; }
body {
  margin: 0; background: var(--paper); color: var(--ink);
  font: 16px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, "Liberation Sans", sans-serif;
}
main { max-width: 64rem; margin: 0 auto; padding: 2rem 1.25rem 3rem; }
h1 { margin: 0 0 .25rem; font-size: 1.9rem; letter-spacing: .01em; }
h1 span { color: var(--accent); }
.count { margin: .25rem 0; font-size: 1.15rem; }
.count strong { color: var(--accent); }
.note, footer { color: var(--muted); font-size: .9rem; }
.note { margin: 0 0 1.5rem; }
table {
  width: 100%; border-collapse: collapse; background: var(--card);
  border: 1px solid var(--line); border-radius: .6rem; overflow: hidden;
}
th, td { padding: .7rem .9rem; text-align: left; vertical-align: top; }
th {
  font-size: .78rem; text-transform: uppercase; letter-spacing: .06em;
  color: var(--muted); border-bottom: 2px solid var(--line);
}
tbody tr:nth-child(even) { background: var(--stripe); }
tbody tr + tr td { border-top: 1px solid var(--line); }
.name { font-weight: 600; overflow-wrap: anywhere; white-space: pre-wrap; }
.address { font-family: ui-monospace, "DejaVu Sans Mono", "Liberation Mono", monospace; white-space: nowrap; }
.empty {
  background: var(--card); border: 1px dashed var(--line); border-radius: .6rem;
  padding: 2rem 1rem; text-align: center; font-size: 1.1rem;
}
footer { margin-top: 2rem; }
a { color: var(--accent); }
@media (max-width: 40rem) {
  main { padding: 1.25rem .9rem 2rem; }
  h1 { font-size: 1.3rem; }
  table, thead, tbody, tr, td { display: block; }
  table { background: none; border: 0; border-radius: 0; }
  thead { display: none; }
  tbody tr, tbody tr:nth-child(even) {
    background: var(--card); border: 1px solid var(--line); border-radius: .6rem;
    margin-bottom: .7rem; padding: .45rem 0;
  }
  tbody tr + tr td { border-top: 0; }
  td { padding: .2rem .9rem; }
  td.name { font-size: 1.1rem; padding-bottom: .35rem; }
  td[data-label]::before {
    content: attr(data-label); display: inline-block; min-width: 7.5rem;
    color: var(--muted); font: .85rem/1.45 system-ui, -apple-system, "Segoe UI", Roboto, "Liberation Sans", sans-serif;
  }
}
)";

namespace {

const int REFRESH_SECONDS = 30;

// "45 s", "12 min", "3 h 5 min", "4 d 2 h": the two largest units are enough to tell hosts apart.
void AppendDuration(std::string* page, WallClock::duration length)
{
    long long seconds = std::chrono::duration_cast<std::chrono::seconds>(length).count();
    if (seconds < 0) {
        seconds = 0;
    }
    char text[48] = {};
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%lld s", seconds);
    } else if (seconds < 3600) {
        std::snprintf(text, sizeof text, "%lld min", seconds / 60);
    } else if (seconds < 48 * 3600) {
        std::snprintf(text, sizeof text, "%lld h %lld min", seconds / 3600, seconds / 60 % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld d %lld h", seconds / 86400, seconds / 3600 % 24);
    }
    *page += text;
}

// A length of time before now, with the moment itself for the reader's browser and tooltip.
void AppendTimeCell(std::string* page, const char* label, WallClock::time_point when, WallClock::time_point now,
                    bool ago)
{
    *page += "<td data-label=\"";
    *page += label;
    *page += "\">";
    std::string stamp = UtcText(when);
    if (stamp.empty()) {
        *page += "not known</td>";
        return;
    }
    *page += "<time datetime=\"";
    *page += stamp;
    *page += "\" title=\"";
    *page += stamp;
    *page += "\">";
    AppendDuration(page, now - when);
    *page += ago ? " ago</time></td>" : "</time></td>";
}

std::string CountLine(size_t count)
{
    if (count == 0) {
        return "No games are up right now.";
    }
    if (count == 1) {
        return "<strong>1</strong> game is up.";
    }
    return "<strong>" + std::to_string(count) + "</strong> games are up.";
}

}  // namespace

std::string GamesPage(std::vector<HostSnapshot> hosts, WallClock::time_point now)
{
    SortNewestFirst(&hosts);
    std::string clock = UtcText(now);
    std::string page =
        "<!DOCTYPE html>\n"
        "<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta http-equiv=\"refresh\" content=\"" + std::to_string(REFRESH_SECONDS) + "\">\n"
        "<title>QUARV games on the Internet</title>\n"
        "<link rel=\"stylesheet\" href=\"" + std::string(GAMES_PAGE_STYLESHEET_PATH) + "\">\n"
        "</head>\n<body>\n<main>\n"
        "<h1><span>QUARV</span> games on the Internet</h1>\n"
        "<p class=\"count\">" + CountLine(hosts.size()) + "</p>\n"
        "<p class=\"note\">Newest first. This page refreshes itself every " + std::to_string(REFRESH_SECONDS) +
        " seconds; last updated <time datetime=\"" + clock + "\">" + clock.substr(11, 8) + " UTC</time>.</p>\n";
    if (hosts.empty()) {
        page += "<p class=\"empty\">Nobody is hosting a game on the Internet at the moment. A game shows here as soon "
                "as its host publishes it and answers the directory.</p>\n";
    } else {
        page += "<table>\n<thead><tr><th scope=\"col\">Server</th><th scope=\"col\">Address</th>"
                "<th scope=\"col\">Listed for</th><th scope=\"col\">Last answered</th></tr></thead>\n<tbody>\n";
        // Some 350 bytes a row: with thousands of hosts, growing the page step by step would
        // copy it over and over.
        page.reserve(page.size() + hosts.size() * 384 + 1024);
        for (const HostSnapshot& host : hosts) {
            page += "<tr><td class=\"name\">";
            page += HtmlText(host.name);
            page += "</td><td class=\"address\" data-label=\"Address\">";
            page += HtmlText(host.address + ":" + std::to_string(host.port));
            page += "</td>";
            AppendTimeCell(&page, "Listed for", host.listedSince, now, false);
            AppendTimeCell(&page, "Last answered", host.lastAnswered, now, true);
            page += "</tr>\n";
        }
        page += "</tbody>\n</table>\n";
    }
    page += "<footer>Join one of these from the multiplayer wizard: choose Internet and pick the server from the "
            "list. For other tools: <a href=\"/servers.json\">servers.json</a>.</footer>\n"
            "</main>\n</body>\n</html>\n";
    return page;
}
