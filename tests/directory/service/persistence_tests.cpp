// The service program itself, killed without warning and started again on the same store,
// and stopped with its stop signal; and a data file from before the schema was numbered,
// taken over as it is.
#include "test_peers.h"
#include "test_stores.h"

#include <sqlite3.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using std::chrono::milliseconds;

class Persistence : public ::testing::TestWithParam<StoreKind> {};

INSTANTIATE_TEST_SUITE_P(Stores, Persistence, ::testing::ValuesIn(AllStores()), StoreRowName);

TEST_P(Persistence, EntriesSurviveAKilledProcess)
{
    TempFolder folder;
    ServiceSettings settings;
    UseFreshStore(GetParam(), folder, &settings);
    StandInHost host(HostAnswer::Handshake);
    const std::string entry = EntryBytes("Ann's server", host.Port());
    {
        ServiceProcess first(folder, "first", StoreArguments(settings));
        ASSERT_NE(first.Port(), 0) << "the service did not start";
        EXPECT_EQ(ParseReply(Exchange(first.Port(), WizardPost(entry))).status, 202);
        ASSERT_TRUE(WaitUntil([&] { return FetchList(first.Port()).size() == 1; }, milliseconds(3000)));
        first.Kill();
    }

    ServiceProcess second(folder, "second", StoreArguments(settings));
    ASSERT_NE(second.Port(), 0) << "the service did not start again";
    std::vector<ListedHost> listed = FetchList(second.Port());
    ASSERT_EQ(listed.size(), 1u) << "listed at once, before any new probe";
    EXPECT_EQ(listed[0].name, "Ann's server");
    EXPECT_EQ(listed[0].address, "127.0.0.1");
    EXPECT_EQ(listed[0].port, host.Port());
    EXPECT_EQ(ParseReply(Exchange(second.Port(), WizardPost(entry))).status, 200) << "known, so refreshed";
}

// In the sanitized build a leak or a memory error found at the end shows here too: the
// process then ends with another status.
TEST_P(Persistence, TheStopSignalEndsTheServiceCleanlyAfterItServedAndProbed)
{
    TempFolder folder;
    ServiceSettings settings;
    UseFreshStore(GetParam(), folder, &settings);
    StandInHost host(HostAnswer::Handshake);
    ServiceProcess service(folder, "service", StoreArguments(settings));
    ASSERT_NE(service.Port(), 0) << "the service did not start";
    EXPECT_EQ(ParseReply(Exchange(service.Port(), WizardPost(EntryBytes("Ann's server", host.Port())))).status, 202);
    ASSERT_TRUE(WaitUntil([&] { return FetchList(service.Port()).size() == 1; }, milliseconds(3000)));

    int status = service.Stop(milliseconds(5000));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status << ", log:\n"
                                                                << service.Log();
}

TEST(SqliteUpgrade, TakesOverAFileFromBeforeTheSchemaWasNumbered)
{
    TempFolder folder;
    const std::string data = folder.File("old.sqlite");
    StandInHost host(HostAnswer::Handshake);
    const std::string listed = EntryBytes("listed before", host.Port(), "127.0.0.1");
    RefusingPort gone;
    const std::string waiting = EntryBytes("never answered", gone.Port(), "127.0.0.1");
    {
        // The table as the service made it before its schema had steps.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(data.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TABLE listings (id INTEGER PRIMARY KEY, address TEXT NOT NULL,"
                               " port INTEGER NOT NULL, entry BLOB NOT NULL, verified INTEGER NOT NULL,"
                               " failures INTEGER NOT NULL, UNIQUE (address, port))",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO listings (address, port, entry, verified, failures) VALUES (?, ?, ?, ?, 0)",
                           -1, &insert, nullptr);
        for (const auto& row : {std::make_pair(&listed, host.Port()), std::make_pair(&waiting, gone.Port())}) {
            sqlite3_bind_text(insert, 1, "127.0.0.1", -1, SQLITE_STATIC);
            sqlite3_bind_int(insert, 2, row.second);
            sqlite3_bind_blob(insert, 3, row.first->data(), static_cast<int>(row.first->size()), SQLITE_STATIC);
            sqlite3_bind_int(insert, 4, row.first == &listed ? 1 : 0);
            EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }

    ServiceProcess service(folder, "service", {"--data", data});
    ASSERT_NE(service.Port(), 0) << "the service did not start on the old file";
    std::vector<ListedHost> hosts = FetchList(service.Port());
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(hosts[0].name, "listed before");
    // The file goes on as a store of today: publications are taken and probed.
    StandInHost newcomer(HostAnswer::Handshake);
    EXPECT_EQ(ParseReply(Exchange(service.Port(), WizardPost(EntryBytes("newcomer", newcomer.Port())), "127.0.0.2"))
                  .status,
              202);
    EXPECT_TRUE(WaitUntil([&] { return FetchList(service.Port()).size() == 2; }, milliseconds(3000)));
}

}  // namespace
