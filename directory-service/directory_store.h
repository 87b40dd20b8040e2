#pragma once
// Keeps the entries in an SQLite file, so that they survive a restart or a killed process.
// Not thread-safe: the directory calls it under its own lock.
#include "server_entry.h"

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

struct StoredListing {
    int64_t id;  // also the order of first publication
    std::string address;
    int port;
    ServerEntry entry;
    bool verified;
    int failures;
};

class DirectoryStore {
public:
    DirectoryStore() = default;
    ~DirectoryStore();
    DirectoryStore(const DirectoryStore&) = delete;
    DirectoryStore& operator=(const DirectoryStore&) = delete;

    bool Open(const std::string& path, std::string* error);
    bool LoadAll(std::vector<StoredListing>* listings);

    bool Insert(const std::string& address, int port, const ServerEntry& entry, int64_t* id);
    bool UpdateEntry(int64_t id, const ServerEntry& entry);
    bool UpdateState(int64_t id, bool verified, int failures);
    bool Remove(int64_t id);

    // Groups the changes of one round of probes into a single write.
    bool Begin();
    bool Commit();

    const char* LastError() const;

private:
    bool Execute(const char* sql);
    sqlite3_stmt* Prepare(const char* sql);

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* updateEntry_ = nullptr;
    sqlite3_stmt* updateState_ = nullptr;
    sqlite3_stmt* remove_ = nullptr;
};
