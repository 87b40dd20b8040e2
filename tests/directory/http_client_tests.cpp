// HttpGet and HttpPost against loopback peers that record the exact request bytes and
// answer with scripted replies. Every peer listens on a port other than 80, so each
// successful exchange also shows that the request goes to the port it was given.
#include "http_client.h"
#include "loopback_peer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

const char* const LIST_PATH = "/cgi-bin/quarvcgiread.exe";
const char* const PUBLISH_PATH = "/cgi-bin/quarvcgi.exe";
const std::string GET_REQUEST = std::string("GET /cgi-bin/quarvcgiread.exe HTTP/1.0\nHost: 127.0.0.1\r\n\r\n");
// The whole request may take about 10 s; this leaves room for a slow test machine.
const DWORD REQUEST_BOUND_MS = 12500;

struct Body {
    bool bFound = false;
    std::string bytes;
};

// Runs HttpGet and checks that the length is written exactly when a body comes back.
Body Get(const char* szHost, int nPort)
{
    const int UNTOUCHED = -7;
    int nLength = UNTOUCHED;
    char* pBody = HttpGet(szHost, LIST_PATH, nPort, &nLength);
    Body body;
    if (pBody == nullptr) {
        EXPECT_EQ(nLength, UNTOUCHED) << "length written without a body";
        return body;
    }
    body.bFound = true;
    body.bytes.assign(pBody, static_cast<size_t>(nLength));
    std::free(pBody);
    return body;
}

std::string BinaryList()
{
    std::string list(5280, '\0');
    for (size_t i = 0; i < list.size(); i += 7) {
        list[i] = static_cast<char>(i * 13);
    }
    return list;
}

struct ReplyCase {
    const char* szName;
    std::string reply;
    bool bHasBody;
    std::string body;
};

TEST(HttpGet, SendsTheExactRequestAndTakesTheBodyAfterTheFirstEmptyLine)
{
    const std::string list = BinaryList();
    const ReplyCase cases[] = {
        {"five bytes", "\r\n\r\nA", false, ""},
        {"no empty line", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\nabc", false, ""},
        {"empty line cut at the end", "HTTP/1.0 200 OK\r\n\r", false, ""},
        {"ends right after the empty line", "HTTP/1.0 200 OK\r\n\r\n", true, ""},
        {"short body", "HTTP/1.0 200 OK\r\nContent-Type: x\r\n\r\nabc", true, "abc"},
        {"empty line inside the body", "HTTP/1.0 200 OK\r\n\r\nab\r\n\r\ncd", true, "ab\r\n\r\ncd"},
        {"error page", "HTTP/1.0 404 Not Found\r\n\r\nnope", true, "nope"},
        {"binary list", "HTTP/1.0 200 OK\r\n\r\n" + list, true, list},
    };
    for (const ReplyCase& c : cases) {
        LoopbackPeer peer(c.reply, PeerEnding::Close);
        Body body = Get("127.0.0.1", peer.Port());
        EXPECT_EQ(peer.Request(), GET_REQUEST) << c.szName;
        EXPECT_EQ(body.bFound, c.bHasBody) << c.szName;
        EXPECT_EQ(body.bytes, c.body) << c.szName;
    }
}

TEST(HttpGet, GivesUpOnAStalledOrEndlessReplyWithinItsTimeLimit)
{
    struct StallCase {
        const char* szName;
        std::string reply;
        PeerEnding ending;
        DWORD dwMaxMs;  // an endless reply must end at the size bound, long before the time limit
    };
    const StallCase cases[] = {
        {"silence", "", PeerEnding::Silent, REQUEST_BOUND_MS},
        {"silence after a complete-looking reply", "HTTP/1.0 200 OK\r\n\r\nabc", PeerEnding::Silent, REQUEST_BOUND_MS},
        {"endless body", "HTTP/1.0 200 OK\r\n\r\n", PeerEnding::Endless, 3000},
        {"one byte at a time", "HTTP/1.0 200 OK\r\n\r\n", PeerEnding::Drip, REQUEST_BOUND_MS},
    };
    for (const StallCase& c : cases) {
        LoopbackPeer peer(c.reply, c.ending);
        DWORD dwStart = GetTickCount();
        Body body = Get("127.0.0.1", peer.Port());
        DWORD dwElapsed = GetTickCount() - dwStart;
        EXPECT_FALSE(body.bFound) << c.szName;
        EXPECT_LT(dwElapsed, c.dwMaxMs) << c.szName;
        EXPECT_EQ(peer.Request(), GET_REQUEST) << c.szName;
    }
}

TEST(HttpGet, UsesADottedAddressWithoutLookingItUp)
{
    // 127.0.0.2 has no reverse name here: a request that looked the address up first would fail.
    LoopbackPeer peer("HTTP/1.0 200 OK\r\n\r\nfound", PeerEnding::Close, 0, "127.0.0.2");
    Body body = Get("127.0.0.2", peer.Port());
    EXPECT_EQ(peer.Request(), "GET /cgi-bin/quarvcgiread.exe HTTP/1.0\nHost: 127.0.0.2\r\n\r\n");
    EXPECT_EQ(body.bytes, "found");
}

TEST(HttpGet, ResolvesAHostName)
{
    LoopbackPeer peer("HTTP/1.0 200 OK\r\n\r\nfound", PeerEnding::Close);
    Body body = Get("localhost", peer.Port());
    EXPECT_EQ(peer.Request(), "GET /cgi-bin/quarvcgiread.exe HTTP/1.0\nHost: localhost\r\n\r\n");
    EXPECT_EQ(body.bytes, "found");
}

TEST(HttpGet, ReturnsNoBodyAtOnceWhenNobodyListens)
{
    RefusingPort refusing;
    DWORD dwStart = GetTickCount();
    Body body = Get("127.0.0.1", refusing.Port());
    EXPECT_FALSE(body.bFound);
    EXPECT_LT(GetTickCount() - dwStart, 3000u);
}

std::string PublishBody()
{
    std::string body(264, '\0');
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(255 - i);
    }
    return body;
}

TEST(HttpPost, SendsTheExactHeaderAndThenTheRawBody)
{
    const std::string body = PublishBody();
    LoopbackPeer peer("HTTP/1.0 200 OK\r\n\r\n", PeerEnding::Close, body.size());
    HttpPost("127.0.0.1", PUBLISH_PATH, peer.Port(), body.data(), static_cast<int>(body.size()));
    EXPECT_EQ(peer.Request(),
              "POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\n"
              "Content-type: application/x-www-form-urlencoded\r\n"
              "Content-length: 264\r\n"
              "\r\n" +
                  body);
}

TEST(HttpPost, ReturnsWithinItsTimeLimitWhenTheDirectoryStalls)
{
    const std::string body = PublishBody();
    struct StallCase {
        const char* szName;
        PeerEnding ending;
        DWORD dwMaxMs;
    };
    const StallCase cases[] = {
        {"silence", PeerEnding::Silent, REQUEST_BOUND_MS},
        {"endless reply", PeerEnding::Endless, 3000},
    };
    for (const StallCase& c : cases) {
        LoopbackPeer peer("", c.ending, body.size());
        DWORD dwStart = GetTickCount();
        HttpPost("127.0.0.1", PUBLISH_PATH, peer.Port(), body.data(), static_cast<int>(body.size()));
        EXPECT_LT(GetTickCount() - dwStart, c.dwMaxMs) << c.szName;
        EXPECT_EQ(peer.Request().size(), 109u + body.size()) << c.szName;
    }
}

}  // namespace
