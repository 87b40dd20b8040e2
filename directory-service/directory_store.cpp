#include "directory_store.h"

#include <sqlite3.h>

#include <cstring>

namespace {

const char* const SCHEMA =
    "CREATE TABLE IF NOT EXISTS listings ("
    " id INTEGER PRIMARY KEY,"
    " address TEXT NOT NULL,"
    " port INTEGER NOT NULL,"
    " entry BLOB NOT NULL,"  // the 264-byte record as players receive it
    " verified INTEGER NOT NULL,"
    " failures INTEGER NOT NULL,"
    " UNIQUE (address, port))";

// Runs a prepared statement once and makes it ready for the next use.
bool Step(sqlite3_stmt* statement)
{
    int result = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return result == SQLITE_DONE;
}

}  // namespace

DirectoryStore::~DirectoryStore()
{
    sqlite3_finalize(insert_);
    sqlite3_finalize(updateEntry_);
    sqlite3_finalize(updateState_);
    sqlite3_finalize(remove_);
    sqlite3_close(db_);
}

bool DirectoryStore::Open(const std::string& path, std::string* error)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        *error = db_ ? sqlite3_errmsg(db_) : "out of memory";
        return false;
    }
    // A write-ahead log keeps every committed change when the process is killed, without
    // a disk flush on each commit; only a power loss can take back the last few.
    sqlite3_busy_timeout(db_, 2000);
    if (!Execute("PRAGMA journal_mode=WAL") || !Execute("PRAGMA synchronous=NORMAL") || !Execute(SCHEMA)) {
        *error = sqlite3_errmsg(db_);
        return false;
    }
    insert_ = Prepare("INSERT INTO listings (address, port, entry, verified, failures) VALUES (?, ?, ?, 0, 0)");
    updateEntry_ = Prepare("UPDATE listings SET entry = ? WHERE id = ?");
    updateState_ = Prepare("UPDATE listings SET verified = ?, failures = ? WHERE id = ?");
    remove_ = Prepare("DELETE FROM listings WHERE id = ?");
    if (!insert_ || !updateEntry_ || !updateState_ || !remove_) {
        *error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool DirectoryStore::LoadAll(std::vector<StoredListing>* listings)
{
    sqlite3_stmt* select = Prepare("SELECT id, address, port, entry, verified, failures FROM listings ORDER BY id");
    if (!select) {
        return false;
    }
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(select)) == SQLITE_ROW) {
        StoredListing listing = {};
        listing.id = sqlite3_column_int64(select, 0);
        const unsigned char* address = sqlite3_column_text(select, 1);
        listing.address = address ? reinterpret_cast<const char*>(address) : "";
        listing.port = sqlite3_column_int(select, 2);
        const void* entry = sqlite3_column_blob(select, 3);
        // A record of another size cannot be handed out; it is left for the operator to see.
        if (!entry || sqlite3_column_bytes(select, 3) != static_cast<int>(sizeof(ServerEntry))) {
            continue;
        }
        std::memcpy(&listing.entry, entry, sizeof listing.entry);
        listing.verified = sqlite3_column_int(select, 4) != 0;
        listing.failures = sqlite3_column_int(select, 5);
        listings->push_back(listing);
    }
    sqlite3_finalize(select);
    return result == SQLITE_DONE;
}

bool DirectoryStore::Insert(const std::string& address, int port, const ServerEntry& entry, int64_t* id)
{
    sqlite3_bind_text(insert_, 1, address.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert_, 2, port);
    sqlite3_bind_blob(insert_, 3, &entry, sizeof entry, SQLITE_TRANSIENT);
    if (!Step(insert_)) {
        return false;
    }
    *id = sqlite3_last_insert_rowid(db_);
    return true;
}

bool DirectoryStore::UpdateEntry(int64_t id, const ServerEntry& entry)
{
    sqlite3_bind_blob(updateEntry_, 1, &entry, sizeof entry, SQLITE_TRANSIENT);
    sqlite3_bind_int64(updateEntry_, 2, id);
    return Step(updateEntry_);
}

bool DirectoryStore::UpdateState(int64_t id, bool verified, int failures)
{
    sqlite3_bind_int(updateState_, 1, verified ? 1 : 0);
    sqlite3_bind_int(updateState_, 2, failures);
    sqlite3_bind_int64(updateState_, 3, id);
    return Step(updateState_);
}

bool DirectoryStore::Remove(int64_t id)
{
    sqlite3_bind_int64(remove_, 1, id);
    return Step(remove_);
}

bool DirectoryStore::Begin()
{
    return Execute("BEGIN");
}

bool DirectoryStore::Commit()
{
    return Execute("COMMIT");
}

const char* DirectoryStore::LastError() const
{
    return db_ ? sqlite3_errmsg(db_) : "no data file";
}

bool DirectoryStore::Execute(const char* sql)
{
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* DirectoryStore::Prepare(const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
        return nullptr;
    }
    return statement;
}
