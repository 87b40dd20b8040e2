#include "test_stores.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

std::vector<StoreKind> AllStores()
{
    return {StoreKind::Sqlite, StoreKind::Postgres};
}

std::string StoreRowName(const ::testing::TestParamInfo<StoreKind>& row)
{
    return row.param == StoreKind::Sqlite ? "SQLite" : "PostgreSQL";
}

void UseFreshStore(StoreKind kind, const TempFolder& folder, ServiceSettings* settings)
{
    if (kind == StoreKind::Sqlite) {
        settings->dataFile = folder.File("directory.sqlite");
        settings->database.clear();
    } else {
        settings->database = TestPostgres::Server().FreshDatabase();
    }
}

std::vector<std::string> StoreArguments(const ServiceSettings& settings)
{
    if (settings.database.empty()) {
        return {"--data", settings.dataFile};
    }
    return {"--database", settings.database};
}

TestPostgres& TestPostgres::Server()
{
    static TestPostgres server;
    return server;
}

TestPostgres::TestPostgres()
{
    Start();
}

TestPostgres::~TestPostgres()
{
    Stop();
}

void TestPostgres::Start()
{
    std::string command = std::string(QUARV_PRIVATE_POSTGRES) + " start " + folder_.File("") + " --no-fsync >/dev/null";
    if (std::system(command.c_str()) != 0 || !(std::ifstream(folder_.File("port")) >> port_)) {
        ADD_FAILURE() << "cannot start PostgreSQL: " << command;
    }
}

void TestPostgres::Stop()
{
    std::string command = std::string(QUARV_PRIVATE_POSTGRES) + " stop " + folder_.File("");
    if (port_ != 0 && std::system(command.c_str()) != 0) {
        ADD_FAILURE() << "cannot stop PostgreSQL: " << command;
    }
}

std::string TestPostgres::FreshDatabase()
{
    std::string server = "host=127.0.0.1 port=" + std::to_string(port_) + " user=postgres dbname=";
    std::string name = "test_" + std::to_string(getpid()) + "_" + std::to_string(++databases_);
    Value(server + "postgres", "CREATE DATABASE " + name);
    return server + name;
}

std::string TestPostgres::Value(const std::string& conninfo, const std::string& sql)
{
    PGconn* connection = PQconnectdb(conninfo.c_str());
    std::string value;
    if (PQstatus(connection) != CONNECTION_OK) {
        ADD_FAILURE() << PQerrorMessage(connection);
    } else {
        PGresult* result = PQexec(connection, sql.c_str());
        ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            ADD_FAILURE() << sql << ": " << PQresultErrorMessage(result);
        } else if (PQntuples(result) > 0 && PQnfields(result) > 0) {
            value = PQgetvalue(result, 0, 0);
        }
        PQclear(result);
    }
    PQfinish(connection);
    return value;
}
