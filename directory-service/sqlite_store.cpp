// The store of a single instance: an SQLite file, so that the entries survive a restart or
// a killed process. One connection, used under one lock; every write is one transaction
// that takes the file's write lock first (BEGIN IMMEDIATE).
#include "directory_store.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>

namespace {

// Step n brings the schema from version n-1 to version n (PRAGMA user_version). A file made
// before the steps were numbered has version 0 and the table of step 1 already.
const char* const SCHEMA_STEPS[] = {
    "CREATE TABLE IF NOT EXISTS listings ("
    " id INTEGER PRIMARY KEY,"
    " address TEXT NOT NULL,"
    " port INTEGER NOT NULL,"
    " entry BLOB NOT NULL,"  // the 264-byte record as players receive it
    " verified INTEGER NOT NULL,"
    " failures INTEGER NOT NULL,"
    " UNIQUE (address, port))",

    // Probe times and leases, when a host was listed and last answered, the count of changes
    // that lets the directory read only what changed, and publication attempts per address.
    // Hosts listed before the upgrade are probed again spread over a minute, not all at once.
    "ALTER TABLE listings ADD COLUMN next_probe INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE listings ADD COLUMN lease_owner TEXT;"
    "ALTER TABLE listings ADD COLUMN listed_since INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE listings ADD COLUMN last_answered INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE listings ADD COLUMN changed INTEGER NOT NULL DEFAULT 1;"
    "UPDATE listings SET listed_since = CAST(strftime('%s', 'now') AS INTEGER) * 1000,"
    " last_answered = CAST(strftime('%s', 'now') AS INTEGER) * 1000,"
    " next_probe = CAST(strftime('%s', 'now') AS INTEGER) * 1000 + abs(random() % 60000)"
    " WHERE verified = 1;"
    "CREATE INDEX listings_due ON listings (next_probe);"
    "CREATE INDEX listings_changed ON listings (changed);"
    "CREATE TABLE directory_state (version INTEGER NOT NULL, entries INTEGER NOT NULL,"
    " removed_floor INTEGER NOT NULL);"
    "INSERT INTO directory_state SELECT 1, count(*), 0 FROM listings;"
    "CREATE TABLE removed_hosts (id INTEGER PRIMARY KEY, version INTEGER NOT NULL, removed_at INTEGER NOT NULL);"
    "CREATE TABLE publication_attempts (address TEXT NOT NULL, at INTEGER NOT NULL);"
    "CREATE INDEX publication_attempts_by_address ON publication_attempts (address, at);",
};
const int SCHEMA_VERSION = static_cast<int>(sizeof SCHEMA_STEPS / sizeof SCHEMA_STEPS[0]);

// One use of a prepared statement: binds in order, steps, and leaves it ready for the next use.
class Query {
public:
    explicit Query(sqlite3_stmt* statement) : statement_(statement) {}
    ~Query()
    {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& Bind(int64_t value)
    {
        sqlite3_bind_int64(statement_, ++bound_, value);
        return *this;
    }
    Query& Bind(const std::string& text)
    {
        sqlite3_bind_text(statement_, ++bound_, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Query& Bind(const ServerEntry& entry)
    {
        sqlite3_bind_blob(statement_, ++bound_, &entry, sizeof entry, SQLITE_TRANSIENT);
        return *this;
    }
    // True while there is a row; Failed() tells an end from an error.
    bool Row()
    {
        result_ = sqlite3_step(statement_);
        return result_ == SQLITE_ROW;
    }
    bool Run() { return !Row() && !Failed(); }
    bool Failed() const { return result_ != SQLITE_ROW && result_ != SQLITE_DONE; }

    int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string Text(int column) const
    {
        const unsigned char* text = sqlite3_column_text(statement_, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<size_t>(sqlite3_column_bytes(statement_, column)))
                    : std::string();
    }
    // False for a record of another size: it cannot be handed out.
    bool Entry(int column, ServerEntry* entry) const
    {
        const void* bytes = sqlite3_column_blob(statement_, column);
        if (bytes == nullptr || sqlite3_column_bytes(statement_, column) != static_cast<int>(sizeof *entry)) {
            return false;
        }
        std::memcpy(entry, bytes, sizeof *entry);
        return true;
    }

private:
    sqlite3_stmt* statement_;
    int bound_ = 0;
    int result_ = SQLITE_OK;
};

bool ReadHost(const Query& row, StoredHost* host)
{
    host->id = row.Int(0);
    host->address = row.Text(1);
    host->port = static_cast<int>(row.Int(2));
    host->listed = row.Int(4) != 0;
    host->listedSince = row.Int(5);
    host->lastAnswered = row.Int(6);
    return row.Entry(3, &host->entry);
}

class SqliteStore : public DirectoryStore {
public:
    explicit SqliteStore(std::string path) : path_(std::move(path)) {}
    ~SqliteStore() override;

    bool Open(std::string* error) override;
    std::string Describe() const override { return "SQLite file " + path_; }
    bool Available() const override { return available_; }
    std::string LastError() const override;

    bool AdmitPublication(const std::string& address, StoreTime now, const PublicationLimits& limits,
                          bool* admitted) override;
    bool Publish(const std::string& address, const ServerEntry& entry, const PublicationLimits& limits, StoreTime now,
                 StoredPublication* result) override;
    bool ClaimDueProbes(const std::string& owner, StoreTime now, StoreTime leaseUntil, size_t max,
                        std::vector<ProbeTarget>* due, StoreTime* nextDue) override;
    bool RecordProbes(const std::string& owner, const std::vector<ProbeTarget>& targets, const std::vector<bool>& alive,
                      StoreTime now, const ProbeRules& rules, std::vector<ProbeChange>* changes) override;
    bool ReadChanges(int64_t* version, bool* full, std::vector<StoredHost>* changed,
                     std::vector<int64_t>* removed) override;
    bool Tidy(StoreTime now, StoreTime window, StoreTime keepRemoved) override;

private:
    enum class Finish { Commit, Rollback, Fail };

    bool Execute(const char* sql);
    Query Statement(const char* sql);
    // The count of changes and of entries, read and written within a write transaction.
    bool ReadState(int64_t* version, int64_t* entries);
    bool SaveState(int64_t version, int64_t entries);
    // Runs the body in one transaction that holds the write lock from its start.
    bool Write(const std::function<Finish()>& body);
    bool Read(const std::function<bool()>& body);
    bool Done(bool succeeded);

    const std::string path_;
    mutable std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::map<const char*, sqlite3_stmt*> statements_;  // by their text, which are constants
    std::string lastError_;
    std::atomic<bool> available_{true};
};

SqliteStore::~SqliteStore()
{
    for (auto& statement : statements_) {
        sqlite3_finalize(statement.second);
    }
    sqlite3_close(db_);
}

bool SqliteStore::Open(std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        *error = db_ ? sqlite3_errmsg(db_) : "out of memory";
        return false;
    }
    // A write-ahead log keeps every committed change when the process is killed, without
    // a disk flush on each commit; only a power loss can take back the last few.
    sqlite3_busy_timeout(db_, 2000);
    if (!Execute("PRAGMA journal_mode=WAL") || !Execute("PRAGMA synchronous=NORMAL")) {
        *error = sqlite3_errmsg(db_);
        return false;
    }
    int version = 0;
    {
        Query query = Statement("PRAGMA user_version");
        if (query.Row()) {
            version = static_cast<int>(query.Int(0));
        }
    }
    if (version > SCHEMA_VERSION) {
        *error = "its schema version " + std::to_string(version) + " is newer than this program's " +
                 std::to_string(SCHEMA_VERSION);
        return false;
    }
    for (; version < SCHEMA_VERSION; ++version) {
        std::string setVersion = "PRAGMA user_version = " + std::to_string(version + 1);
        if (!Execute("BEGIN IMMEDIATE") || !Execute(SCHEMA_STEPS[version]) || !Execute(setVersion.c_str()) ||
            !Execute("COMMIT")) {
            *error = "schema step " + std::to_string(version + 1) + ": " + sqlite3_errmsg(db_);
            Execute("ROLLBACK");
            return false;
        }
    }
    return true;
}

std::string SqliteStore::LastError() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

bool SqliteStore::AdmitPublication(const std::string& address, StoreTime now, const PublicationLimits& limits,
                                   bool* admitted)
{
    return Write([&] {
        if (!Statement("DELETE FROM publication_attempts WHERE address = ? AND at <= ?")
                 .Bind(address)
                 .Bind(now - limits.window)
                 .Run()) {
            return Finish::Fail;
        }
        Query count = Statement("SELECT count(*) FROM publication_attempts WHERE address = ?");
        if (!count.Bind(address).Row()) {
            return Finish::Fail;
        }
        *admitted = count.Int(0) < limits.attemptsPerWindow;
        if (*admitted &&
            !Statement("INSERT INTO publication_attempts (address, at) VALUES (?, ?)").Bind(address).Bind(now).Run()) {
            return Finish::Fail;
        }
        return Finish::Commit;
    });
}

bool SqliteStore::Publish(const std::string& address, const ServerEntry& entry, const PublicationLimits& limits,
                          StoreTime now, StoredPublication* result)
{
    return Write([&] {
        int64_t version = 0, entries = 0;
        if (!ReadState(&version, &entries)) {
            return Finish::Fail;
        }
        ++version;
        if (!Statement("UPDATE listings SET entry = ?, changed = ?,"
                       " next_probe = CASE WHEN verified = 1 OR lease_owner IS NOT NULL THEN next_probe"
                       " ELSE min(next_probe, ?) END"
                       " WHERE address = ? AND port = ?")
                 .Bind(entry)
                 .Bind(version)
                 .Bind(now)
                 .Bind(address)
                 .Bind(entry.nPort)
                 .Run()) {
            return Finish::Fail;
        }
        if (sqlite3_changes(db_) > 0) {
            *result = StoredPublication::Refreshed;
        } else {
            Query held = Statement("SELECT count(*) FROM listings WHERE address = ?");
            if (!held.Bind(address).Row()) {
                return Finish::Fail;
            }
            if (held.Int(0) >= limits.entriesPerAddress) {
                *result = StoredPublication::AddressFull;
                return Finish::Rollback;
            }
            if (entries >= static_cast<int64_t>(limits.maxEntries)) {
                *result = StoredPublication::DirectoryFull;
                return Finish::Rollback;
            }
            if (!Statement("INSERT INTO listings (address, port, entry, verified, failures, next_probe,"
                           " listed_since, last_answered, changed) VALUES (?, ?, ?, 0, 0, ?, 0, 0, ?)")
                     .Bind(address)
                     .Bind(entry.nPort)
                     .Bind(entry)
                     .Bind(now)
                     .Bind(version)
                     .Run()) {
                return Finish::Fail;
            }
            ++entries;
            *result = StoredPublication::Added;
        }
        return SaveState(version, entries) ? Finish::Commit : Finish::Fail;
    });
}

bool SqliteStore::ClaimDueProbes(const std::string& owner, StoreTime now, StoreTime leaseUntil, size_t max,
                                 std::vector<ProbeTarget>* due, StoreTime* nextDue)
{
    // A lease moves the host's next probe to the lease's end: a lease that runs out makes
    // the host due again by itself.
    return Write([&] {
        Query claim = Statement("UPDATE listings SET lease_owner = ?, next_probe = ? WHERE id IN"
                                " (SELECT id FROM listings WHERE next_probe <= ? ORDER BY next_probe LIMIT ?)"
                                " RETURNING id, address, port");
        claim.Bind(owner).Bind(leaseUntil).Bind(now).Bind(static_cast<int64_t>(max));
        while (claim.Row()) {
            due->push_back(ProbeTarget{claim.Int(0), claim.Text(1), static_cast<int>(claim.Int(2)), leaseUntil});
        }
        if (claim.Failed()) {
            return Finish::Fail;
        }
        Query next = Statement("SELECT min(next_probe) FROM listings");
        if (!next.Row()) {
            return Finish::Fail;
        }
        *nextDue = next.Int(0);
        return Finish::Commit;
    });
}

bool SqliteStore::RecordProbes(const std::string& owner, const std::vector<ProbeTarget>& targets,
                               const std::vector<bool>& alive, StoreTime now, const ProbeRules& rules,
                               std::vector<ProbeChange>* changes)
{
    return Write([&] {
        int64_t version = 0, entries = 0;
        if (!ReadState(&version, &entries)) {
            return Finish::Fail;
        }
        ++version;
        for (size_t i = 0; i < targets.size() && i < alive.size(); ++i) {
            Query host = Statement("SELECT verified, failures, address, port, entry FROM listings"
                                   " WHERE id = ? AND lease_owner = ? AND next_probe = ?");
            if (!host.Bind(targets[i].id).Bind(owner).Bind(targets[i].leaseUntil).Row()) {
                if (host.Failed()) {
                    return Finish::Fail;
                }
                continue;  // the lease ran out and the host went to another probe, or was dropped
            }
            bool wasListed = host.Int(0) != 0;
            int failures = static_cast<int>(host.Int(1));
            ServerEntry entry = {};
            host.Entry(4, &entry);
            ProbeChange change = {ProbeChange::Listed, host.Text(2), static_cast<int>(host.Int(3)),
                                  EntryText(entry.szName), failures + 1, wasListed};
            bool written = false;
            if (alive[i]) {
                written = Statement("UPDATE listings SET verified = 1, failures = 0, listed_since ="
                                    " CASE WHEN verified = 1 THEN listed_since ELSE ? END, last_answered = ?,"
                                    " next_probe = ?, lease_owner = NULL, changed = ? WHERE id = ?")
                              .Bind(now)
                              .Bind(now)
                              .Bind(now + rules.probeInterval)
                              .Bind(version)
                              .Bind(targets[i].id)
                              .Run();
                if (!wasListed) {
                    changes->push_back(change);
                }
            } else if (failures + 1 >= rules.failuresToDrop) {
                written = Statement("DELETE FROM listings WHERE id = ?").Bind(targets[i].id).Run() &&
                          Statement("INSERT OR REPLACE INTO removed_hosts (id, version, removed_at) VALUES (?, ?, ?)")
                              .Bind(targets[i].id)
                              .Bind(version)
                              .Bind(now)
                              .Run();
                --entries;
                change.kind = ProbeChange::Dropped;
                changes->push_back(change);
            } else {
                written = Statement("UPDATE listings SET failures = failures + 1, next_probe = ?,"
                                    " lease_owner = NULL, changed = ? WHERE id = ?")
                              .Bind(now + rules.retryInterval)
                              .Bind(version)
                              .Bind(targets[i].id)
                              .Run();
            }
            if (!written) {
                changes->clear();
                return Finish::Fail;
            }
        }
        return SaveState(version, entries) ? Finish::Commit : Finish::Fail;
    });
}

bool SqliteStore::ReadChanges(int64_t* version, bool* full, std::vector<StoredHost>* changed,
                              std::vector<int64_t>* removed)
{
    return Read([&] {
        Query state = Statement("SELECT version, removed_floor FROM directory_state");
        if (!state.Row()) {
            return false;
        }
        int64_t current = state.Int(0);
        int64_t floor = state.Int(1);
        *full = *version == 0 || *version < floor || *version > current;
        if (current == *version) {
            return true;
        }
        Query rows = Statement(*full ? "SELECT id, address, port, entry, verified, listed_since, last_answered"
                                       " FROM listings ORDER BY id"
                                     : "SELECT id, address, port, entry, verified, listed_since, last_answered"
                                       " FROM listings WHERE changed > ? ORDER BY id");
        if (!*full) {
            rows.Bind(*version);
        }
        while (rows.Row()) {
            StoredHost host = {};
            if (ReadHost(rows, &host)) {
                changed->push_back(host);
            }
        }
        if (rows.Failed()) {
            return false;
        }
        if (!*full) {
            Query gone = Statement("SELECT id FROM removed_hosts WHERE version > ?");
            gone.Bind(*version);
            while (gone.Row()) {
                removed->push_back(gone.Int(0));
            }
            if (gone.Failed()) {
                return false;
            }
        }
        *version = current;
        return true;
    });
}

bool SqliteStore::Tidy(StoreTime now, StoreTime window, StoreTime keepRemoved)
{
    return Write([&] {
        Query newest = Statement("SELECT max(version) FROM removed_hosts WHERE removed_at < ?");
        if (!newest.Bind(now - keepRemoved).Row()) {
            return Finish::Fail;
        }
        int64_t floor = newest.Int(0);
        bool tidied = Statement("DELETE FROM publication_attempts WHERE at <= ?").Bind(now - window).Run() &&
                      Statement("DELETE FROM removed_hosts WHERE removed_at < ?").Bind(now - keepRemoved).Run() &&
                      Statement("UPDATE directory_state SET removed_floor = max(removed_floor, ?)").Bind(floor).Run();
        return tidied ? Finish::Commit : Finish::Fail;
    });
}

bool SqliteStore::Execute(const char* sql)
{
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Query SqliteStore::Statement(const char* sql)
{
    sqlite3_stmt*& statement = statements_[sql];
    if (statement == nullptr && sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
        statement = nullptr;
    }
    return Query(statement);
}

bool SqliteStore::ReadState(int64_t* version, int64_t* entries)
{
    Query state = Statement("SELECT version, entries FROM directory_state");
    if (!state.Row()) {
        return false;
    }
    *version = state.Int(0);
    *entries = state.Int(1);
    return true;
}

bool SqliteStore::SaveState(int64_t version, int64_t entries)
{
    return Statement("UPDATE directory_state SET version = ?, entries = ?").Bind(version).Bind(entries).Run();
}

bool SqliteStore::Write(const std::function<Finish()>& body)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Execute("BEGIN IMMEDIATE")) {
        return Done(false);
    }
    Finish finish = body();
    if (finish == Finish::Commit && Execute("COMMIT")) {
        return Done(true);
    }
    std::string error = sqlite3_errmsg(db_);
    Execute("ROLLBACK");
    if (finish == Finish::Rollback) {
        return Done(true);
    }
    lastError_ = error;
    available_ = false;
    return false;
}

bool SqliteStore::Read(const std::function<bool()>& body)
{
    std::lock_guard<std::mutex> lock(mutex_);
    bool read = Execute("BEGIN") && body();
    if (!read) {
        std::string error = sqlite3_errmsg(db_);
        Execute("ROLLBACK");
        lastError_ = error;
        return false;
    }
    return Done(Execute("COMMIT"));
}

bool SqliteStore::Done(bool succeeded)
{
    if (!succeeded) {
        lastError_ = sqlite3_errmsg(db_);
    }
    available_ = succeeded;
    return succeeded;
}

}  // namespace

std::unique_ptr<DirectoryStore> MakeSqliteStore(const std::string& path)
{
    return std::unique_ptr<DirectoryStore>(new SqliteStore(path));
}
