// What the page of live games says, rendered for hosts and times the test chooses; the
// page in a real browser is tested in web_face_test.py.
#include "games_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

WallClock::time_point Now()
{
    return WallClock::from_time_t(1800000000);  // 2027-01-15T08:00:00Z
}

WallClock::time_point SecondsAgo(long long seconds)
{
    return Now() - std::chrono::seconds(seconds);
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(GamesPage, SaysPlainlyWhenNoGamesAreUp)
{
    std::string page = GamesPage({}, Now());
    EXPECT_NE(page.find("No games are up right now."), std::string::npos);
    EXPECT_EQ(page.find("<table"), std::string::npos);
    EXPECT_NE(page.find("<meta http-equiv=\"refresh\" content=\"30\">"), std::string::npos);
    EXPECT_NE(page.find("last updated <time datetime=\"2027-01-15T08:00:00Z\">08:00:00 UTC</time>"), std::string::npos);
}

TEST(GamesPage, ListsNewestFirstWithHowLongListedAndTheLastAnswer)
{
    std::vector<HostSnapshot> hosts = {
        {"10.0.0.1", 2300, "oldest", SecondsAgo(3 * 86400 + 5 * 3600 + 59), SecondsAgo(59)},
        {"10.0.0.3", 2301, "newest", SecondsAgo(45), SecondsAgo(2)},
        {"10.0.0.2", 36000, "middle", SecondsAgo(2 * 3600 + 7 * 60 + 30), WallClock::time_point()},
        {"10.0.0.4", 2302, "just now", SecondsAgo(0), Now() + std::chrono::seconds(3)},
    };
    std::string page = GamesPage(hosts, Now());
    EXPECT_NE(page.find("<strong>4</strong> games are up."), std::string::npos);
    EXPECT_NE(page.find("Newest first."), std::string::npos);
    size_t justNow = page.find(">just now<");
    size_t newest = page.find(">newest<");
    size_t middle = page.find(">middle<");
    size_t oldest = page.find(">oldest<");
    ASSERT_NE(oldest, std::string::npos);
    EXPECT_TRUE(justNow < newest && newest < middle && middle < oldest) << page;

    struct RowCase {
        const char* host;
        const char* expected;
    };
    const RowCase rows[] = {
        {"oldest", "10.0.0.1:2300</td><td data-label=\"Listed for\"><time datetime=\"2027-01-12T02:59:01Z\" "
                   "title=\"2027-01-12T02:59:01Z\">3 d 5 h</time></td><td data-label=\"Last answered\">"
                   "<time datetime=\"2027-01-15T07:59:01Z\" title=\"2027-01-15T07:59:01Z\">59 s ago</time>"},
        {"middle", "10.0.0.2:36000</td><td data-label=\"Listed for\"><time datetime=\"2027-01-15T05:52:30Z\" "
                   "title=\"2027-01-15T05:52:30Z\">2 h 7 min</time></td><td data-label=\"Last answered\">not known"},
        {"newest", ">45 s</time>"},
        // A clock that moved back shows no negative length of time.
        {"just now", ">0 s ago</time>"},
    };
    for (const RowCase& row : rows) {
        size_t start = page.find(std::string(">") + row.host + "<");
        std::string line = page.substr(start, page.find("</tr>", start) - start);
        EXPECT_NE(line.find(row.expected), std::string::npos) << row.host << ": " << line;
    }
    EXPECT_EQ(Count(page, "<tr>"), 5u) << "a heading and a row for each host";
}

TEST(GamesPage, OneGameIsOneGame)
{
    std::string page = GamesPage({{"10.0.0.1", 2300, "solo", SecondsAgo(600), SecondsAgo(5)}}, Now());
    EXPECT_NE(page.find("<strong>1</strong> game is up."), std::string::npos);
    EXPECT_NE(page.find(">10 min</time>"), std::string::npos);
}

}  // namespace
