#pragma once
// The stores the service's tests run over. A test suite instantiated with AllStores() runs
// each of its tests once per store, and each run gets a fresh, empty store of its own: an
// SQLite file in the test's folder, or a database of its own on a real PostgreSQL server
// that the test program starts (tools/private-postgres) and stops when it ends.
#include "service_settings.h"
#include "test_peers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

enum class StoreKind { Sqlite, Postgres };

std::vector<StoreKind> AllStores();
std::string StoreRowName(const ::testing::TestParamInfo<StoreKind>& row);

// Points the settings at a fresh store of the kind.
void UseFreshStore(StoreKind kind, const TempFolder& folder, ServiceSettings* settings);
// The program's arguments that choose the store the settings name.
std::vector<std::string> StoreArguments(const ServiceSettings& settings);

// The test program's PostgreSQL server.
class TestPostgres {
public:
    static TestPostgres& Server();
    // A connection string for a new, empty database.
    std::string FreshDatabase();
    // Stops the server, keeping its data, and starts it again on the same port.
    void Stop();
    void Start();
    int Port() const { return port_; }
    // The first column of the first row of a query's result, as text; empty when none.
    static std::string Value(const std::string& conninfo, const std::string& sql);

private:
    TestPostgres();
    ~TestPostgres();
    TempFolder folder_;
    int port_ = 0;
    int databases_ = 0;
};
