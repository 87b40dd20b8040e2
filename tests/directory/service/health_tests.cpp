// /healthz of a service on a real PostgreSQL server that goes away and comes back.
#include "directory_service.h"
#include "test_peers.h"
#include "test_stores.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

using std::chrono::milliseconds;

TEST(Health, TellsWhetherPublicationsAreStoredAndTurns503WhenListsCanNoLongerBeTrusted)
{
    ServiceSettings settings;
    settings.listenAddress = "127.0.0.1";
    settings.port = 0;
    settings.database = TestPostgres::Server().FreshDatabase();
    // A host that went away would leave the list 0.3 + 3 x (0.1 + 0.3) = 1.5 s after its last answer.
    settings.probeInterval = 0.3;
    settings.retryInterval = 0.1;
    settings.probeTimeout = 0.3;
    DirectoryService service(settings);
    std::string error;
    ASSERT_TRUE(service.Start(&error)) << error;
    auto health = [&] { return ParseReply(Exchange(service.Port(), "GET /healthz HTTP/1.0\r\n\r\n")); };
    auto says = [&](int status, const std::string& text) {
        HttpReply reply = health();
        return reply.status == status && reply.body.find(text) != std::string::npos;
    };
    EXPECT_TRUE(says(200, "ok: answering list requests; publications are stored\n")) << health().body;

    TestPostgres::Server().Stop();
    EXPECT_TRUE(WaitUntil([&] { return says(200, "publications cannot be stored now"); }, milliseconds(3000)))
        << "lists are still answered: " << health().body;
    EXPECT_TRUE(WaitUntil([&] { return says(503, "stale: the store has not been read for"); }, milliseconds(5000)))
        << health().body;
    EXPECT_EQ(ParseReply(Exchange(service.Port(), WIZARD_GET)).status, 200) << "the list itself is still served";

    TestPostgres::Server().Start();
    EXPECT_TRUE(WaitUntil([&] { return says(200, "ok: answering list requests; publications are stored\n"); },
                          milliseconds(5000)))
        << health().body;
}

}  // namespace
