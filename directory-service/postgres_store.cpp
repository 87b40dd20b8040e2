// The store of a fleet: a PostgreSQL database that every instance shares, through libpq.
// Each operation is one transaction on a connection of a small pool. Whatever must hold for
// the fleet is serialised inside the database: every change to the hosts first takes the
// one row of directory_state (whose version then orders the changes, so that instances can
// read only what changed), publication attempts take an advisory lock on their address, and
// probes are leased with FOR UPDATE SKIP LOCKED until a time.
#include "directory_store.h"

#include <endian.h>
#include <libpq-fe.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Connections the pool holds: the HTTP threads that publish, the probe loops and the sync
// loop take one each for a transaction at a time.
const size_t POOL_SIZE = 4;
// Takes the lock that lets one instance at a time bring the schema up to date.
const char* const LOCK_SCHEMA = "SELECT pg_advisory_xact_lock(7142393580211547393)";
// The key space of publication attempts' locks, one lock per address.
const int ADDRESS_LOCKS = 1;

// Step n brings the schema from version n-1 to version n; schema_version holds n.
const char* const SCHEMA_STEPS[] = {
    "CREATE TABLE listings ("
    " id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"  // also the order of first publication
    " address TEXT NOT NULL,"
    " port INTEGER NOT NULL,"
    " entry BYTEA NOT NULL,"  // the 264-byte record as players receive it
    " verified BOOLEAN NOT NULL DEFAULT false,"
    " failures INTEGER NOT NULL DEFAULT 0,"
    " next_probe BIGINT NOT NULL,"  // while leased: the lease's end
    " lease_owner TEXT,"
    " listed_since BIGINT NOT NULL DEFAULT 0,"
    " last_answered BIGINT NOT NULL DEFAULT 0,"
    " changed BIGINT NOT NULL,"  // the directory_state version that last changed it
    " UNIQUE (address, port));"
    "CREATE INDEX listings_due ON listings (next_probe);"
    "CREATE INDEX listings_changed ON listings (changed);"
    "CREATE TABLE directory_state (version BIGINT NOT NULL, entries BIGINT NOT NULL, removed_floor BIGINT NOT NULL);"
    "INSERT INTO directory_state VALUES (1, 0, 0);"
    "CREATE TABLE removed_hosts (id BIGINT PRIMARY KEY, version BIGINT NOT NULL, removed_at BIGINT NOT NULL);"
    "CREATE INDEX removed_hosts_by_version ON removed_hosts (version);"
    "CREATE TABLE publication_attempts (address TEXT NOT NULL, at BIGINT NOT NULL);"
    "CREATE INDEX publication_attempts_by_address ON publication_attempts (address, at);",
};
const int SCHEMA_VERSION = static_cast<int>(sizeof SCHEMA_STEPS / sizeof SCHEMA_STEPS[0]);

// Parameters in text form, except records, which go as bytes.
class Params {
public:
    Params& Add(int64_t value) { return Text(std::to_string(value)); }
    Params& Add(const std::string& text) { return Text(text); }
    Params& Add(const ServerEntry& entry)
    {
        values_.emplace_back(reinterpret_cast<const char*>(&entry), sizeof entry);
        formats_.push_back(1);
        return *this;
    }
    // A bigint[] in PostgreSQL's text form: {1,2,3}.
    Params& Add(const std::vector<int64_t>& values)
    {
        std::string text = "{";
        for (size_t i = 0; i < values.size(); ++i) {
            text += (i ? "," : "") + std::to_string(values[i]);
        }
        return Text(text + "}");
    }

    int Count() const { return static_cast<int>(values_.size()); }
    std::vector<const char*> Values() const
    {
        std::vector<const char*> pointers;
        for (const std::string& value : values_) {
            pointers.push_back(value.data());
        }
        return pointers;
    }
    std::vector<int> Lengths() const
    {
        std::vector<int> lengths;
        for (const std::string& value : values_) {
            lengths.push_back(static_cast<int>(value.size()));
        }
        return lengths;
    }
    const int* Formats() const { return formats_.data(); }

private:
    Params& Text(std::string text)
    {
        text.push_back('\0');
        values_.push_back(std::move(text));
        formats_.push_back(0);
        return *this;
    }
    std::vector<std::string> values_;
    std::vector<int> formats_;
};

// A result in binary form: integers come big-endian, records and texts as their bytes.
class Result {
public:
    explicit Result(PGresult* result) : result_(result) {}
    ~Result() { PQclear(result_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    Result(Result&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }

    bool Ok() const
    {
        ExecStatusType status = PQresultStatus(result_);
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    }
    int Rows() const { return PQntuples(result_); }
    int64_t Affected() const { return std::atoll(PQcmdTuples(result_)); }
    bool Null(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }
    int64_t Int(int row, int column) const
    {
        const char* bytes = PQgetvalue(result_, row, column);
        switch (PQgetlength(result_, row, column)) {
        case 8: {
            uint64_t value = 0;
            std::memcpy(&value, bytes, 8);
            return static_cast<int64_t>(be64toh(value));
        }
        case 4: {
            uint32_t value = 0;
            std::memcpy(&value, bytes, 4);
            return static_cast<int32_t>(be32toh(value));
        }
        case 1:
            return bytes[0];
        }
        return 0;
    }
    std::string Text(int row, int column) const
    {
        return std::string(PQgetvalue(result_, row, column), static_cast<size_t>(PQgetlength(result_, row, column)));
    }
    // False for a record of another size: it cannot be handed out.
    bool Entry(int row, int column, ServerEntry* entry) const
    {
        if (PQgetlength(result_, row, column) != static_cast<int>(sizeof *entry)) {
            return false;
        }
        std::memcpy(entry, PQgetvalue(result_, row, column), sizeof *entry);
        return true;
    }
    std::string Error() const { return PQresultErrorMessage(result_); }

private:
    PGresult* result_;
};

Result Run(PGconn* connection, const char* sql, const Params& params = Params())
{
    std::vector<const char*> values = params.Values();
    std::vector<int> lengths = params.Lengths();
    return Result(PQexecParams(connection, sql, params.Count(), nullptr, values.data(), lengths.data(),
                               params.Formats(), 1));
}

// libpq's messages end in a line feed, and some run over several lines.
std::string OneLine(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    for (char& c : text) {
        if (c == '\n' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

class PostgresStore : public DirectoryStore {
public:
    explicit PostgresStore(std::string conninfo) : conninfo_(std::move(conninfo)), slots_(POOL_SIZE) {}
    ~PostgresStore() override;

    bool Open(std::string* error) override;
    std::string Describe() const override { return description_; }
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
    struct Slot {
        PGconn* connection = nullptr;
        uint64_t generation = 0;  // the store's generation it was made in
        bool busy = false;
    };

    // Runs the body on a connection of the pool. Once the store has failed, only the sync
    // loop's reads (mayReconnect) try to connect again, so that nothing else waits for a
    // connection that cannot be made; when they succeed, every connection is made afresh.
    // A connection found broken is replaced and the body run once more.
    bool WithConnection(bool mayReconnect, const std::function<bool(PGconn*)>& body);
    // The body between BEGIN (or the given start) and COMMIT; ROLLBACK when it does not finish.
    bool Transaction(PGconn* connection, const std::function<Finish(PGconn*)>& body,
                     const char* begin = "BEGIN");
    bool Connect(Slot* slot);
    Slot* Acquire();
    void Release(Slot* slot);
    bool Failed(const std::string& error);
    Finish Failed(const Result& result);

    const std::string conninfo_;
    std::string description_;
    std::mutex poolMutex_;
    std::condition_variable poolWake_;
    std::vector<Slot> slots_;
    std::atomic<uint64_t> generation_{1};
    std::atomic<bool> available_{true};
    mutable std::mutex errorMutex_;
    std::string lastError_;
};

PostgresStore::~PostgresStore()
{
    for (Slot& slot : slots_) {
        PQfinish(slot.connection);
    }
}

bool PostgresStore::Open(std::string* error)
{
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo_.c_str(), &parseError);
    if (options == nullptr) {
        *error = parseError ? OneLine(parseError) : "out of memory";
        PQfreemem(parseError);
        return false;
    }
    std::string database, host, port, user;
    for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        std::string keyword = option->keyword;
        std::string value = option->val ? option->val : "";
        if (keyword == "dbname") {
            database = value;
        } else if (keyword == "host" || (keyword == "hostaddr" && host.empty())) {
            host = value;
        } else if (keyword == "port") {
            port = value;
        } else if (keyword == "user") {
            user = value;
        }
    }
    PQconninfoFree(options);
    // Built from the parsed parts, so that a password never reaches the log.
    description_ = "PostgreSQL database " + (database.empty() ? std::string("(default)") : database) + " on " +
                   (host.empty() ? std::string("the local socket") : host) + (port.empty() ? "" : ":" + port) +
                   (user.empty() ? "" : " as " + user);

    bool opened = WithConnection(true, [&](PGconn* connection) {
        for (;;) {
            int version = 0;
            bool stepped = Transaction(connection, [&](PGconn* c) {
                if (!Run(c, LOCK_SCHEMA).Ok() ||
                    !Run(c, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)").Ok()) {
                    return Finish::Fail;
                }
                Result current = Run(c, "SELECT version FROM schema_version");
                if (!current.Ok()) {
                    return Failed(current);
                }
                version = current.Rows() > 0 ? static_cast<int>(current.Int(0, 0)) : 0;
                if (version >= SCHEMA_VERSION) {
                    return Finish::Rollback;
                }
                // Several statements in one: only the simple protocol takes them.
                Result step(PQexec(c, SCHEMA_STEPS[version]));
                if (!step.Ok()) {
                    Failed("schema step " + std::to_string(version + 1) + ": " + OneLine(step.Error()));
                    return Finish::Fail;
                }
                const char* record = version == 0 ? "INSERT INTO schema_version VALUES ($1)"
                                                  : "UPDATE schema_version SET version = $1";
                return Run(c, record, Params().Add(int64_t{version + 1})).Ok() ? Finish::Commit : Finish::Fail;
            });
            if (!stepped) {
                return false;
            }
            if (version > SCHEMA_VERSION) {
                Failed("its schema version " + std::to_string(version) + " is newer than this program's " +
                       std::to_string(SCHEMA_VERSION));
                return false;
            }
            if (version == SCHEMA_VERSION) {
                return true;
            }
        }
    });
    if (!opened) {
        *error = LastError();
    }
    return opened;
}

std::string PostgresStore::LastError() const
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    return lastError_;
}

bool PostgresStore::AdmitPublication(const std::string& address, StoreTime now, const PublicationLimits& limits,
                                     bool* admitted)
{
    return WithConnection(false, [&](PGconn* connection) {
        return Transaction(connection, [&](PGconn* c) {
            Result locked = Run(c, "SELECT pg_advisory_xact_lock($1, hashtext($2))",
                                Params().Add(int64_t{ADDRESS_LOCKS}).Add(address));
            if (!locked.Ok()) {
                return Failed(locked);
            }
            Result expired = Run(c, "DELETE FROM publication_attempts WHERE address = $1 AND at <= $2",
                                 Params().Add(address).Add(now - limits.window));
            Result count =
                Run(c, "SELECT count(*) FROM publication_attempts WHERE address = $1", Params().Add(address));
            if (!expired.Ok() || !count.Ok()) {
                return Failed(expired.Ok() ? count : expired);
            }
            *admitted = count.Int(0, 0) < limits.attemptsPerWindow;
            if (*admitted) {
                Result attempt =
                    Run(c, "INSERT INTO publication_attempts (address, at) VALUES ($1, $2)", Params().Add(address).Add(now));
                if (!attempt.Ok()) {
                    return Failed(attempt);
                }
            }
            return Finish::Commit;
        });
    });
}

bool PostgresStore::Publish(const std::string& address, const ServerEntry& entry, const PublicationLimits& limits,
                            StoreTime now, StoredPublication* result)
{
    return WithConnection(false, [&](PGconn* connection) {
        return Transaction(connection, [&](PGconn* c) {
            // Answered 200 or 202 only once it is on the database's disk.
            Result durable = Run(c, "SET LOCAL synchronous_commit = on");
            if (!durable.Ok()) {
                return Failed(durable);
            }
            Result state = Run(c, "UPDATE directory_state SET version = version + 1 RETURNING version, entries");
            if (!state.Ok() || state.Rows() != 1) {
                return Failed(state);
            }
            int64_t version = state.Int(0, 0);
            int64_t entries = state.Int(0, 1);
            Result refreshed = Run(c,
                                   "UPDATE listings SET entry = $3, changed = $4, next_probe = CASE WHEN verified OR"
                                   " lease_owner IS NOT NULL THEN next_probe ELSE LEAST(next_probe, $5) END"
                                   " WHERE address = $1 AND port = $2",
                                   Params().Add(address).Add(int64_t{entry.nPort}).Add(entry).Add(version).Add(now));
            if (!refreshed.Ok()) {
                return Failed(refreshed);
            }
            if (refreshed.Affected() > 0) {
                *result = StoredPublication::Refreshed;
                return Finish::Commit;
            }
            Result held = Run(c, "SELECT count(*) FROM listings WHERE address = $1", Params().Add(address));
            if (!held.Ok()) {
                return Failed(held);
            }
            if (held.Int(0, 0) >= limits.entriesPerAddress) {
                *result = StoredPublication::AddressFull;
                return Finish::Rollback;
            }
            if (entries >= static_cast<int64_t>(limits.maxEntries)) {
                *result = StoredPublication::DirectoryFull;
                return Finish::Rollback;
            }
            Result added = Run(c,
                               "INSERT INTO listings (address, port, entry, next_probe, changed)"
                               " VALUES ($1, $2, $3, $4, $5)",
                               Params().Add(address).Add(int64_t{entry.nPort}).Add(entry).Add(now).Add(version));
            Result counted = Run(c, "UPDATE directory_state SET entries = entries + 1");
            if (!added.Ok() || !counted.Ok()) {
                return Failed(added.Ok() ? counted : added);
            }
            *result = StoredPublication::Added;
            return Finish::Commit;
        });
    });
}

bool PostgresStore::ClaimDueProbes(const std::string& owner, StoreTime now, StoreTime leaseUntil, size_t max,
                                   std::vector<ProbeTarget>* due, StoreTime* nextDue)
{
    return WithConnection(false, [&](PGconn* c) {
        due->clear();
        // A lease moves the host's next probe to the lease's end: a lease that runs out makes
        // the host due again by itself. Hosts another instance is claiming are skipped, not waited for.
        Result claimed = Run(c,
                             "UPDATE listings SET lease_owner = $1, next_probe = $2 WHERE id IN"
                             " (SELECT id FROM listings WHERE next_probe <= $3 ORDER BY next_probe LIMIT $4"
                             " FOR UPDATE SKIP LOCKED) RETURNING id, address, port",
                             Params().Add(owner).Add(leaseUntil).Add(now).Add(static_cast<int64_t>(max)));
        if (!claimed.Ok()) {
            Failed(claimed);
            return false;
        }
        for (int row = 0; row < claimed.Rows(); ++row) {
            due->push_back(ProbeTarget{claimed.Int(row, 0), claimed.Text(row, 1),
                                       static_cast<int>(claimed.Int(row, 2)), leaseUntil});
        }
        Result next = Run(c, "SELECT min(next_probe) FROM listings");
        if (!next.Ok()) {
            Failed(next);
            return false;
        }
        *nextDue = next.Null(0, 0) ? 0 : next.Int(0, 0);
        return true;
    });
}

bool PostgresStore::RecordProbes(const std::string& owner, const std::vector<ProbeTarget>& targets,
                                 const std::vector<bool>& alive, StoreTime now, const ProbeRules& rules,
                                 std::vector<ProbeChange>* changes)
{
    std::vector<int64_t> answeredIds, answeredLeases, silentIds, silentLeases;
    for (size_t i = 0; i < targets.size() && i < alive.size(); ++i) {
        (alive[i] ? answeredIds : silentIds).push_back(targets[i].id);
        (alive[i] ? answeredLeases : silentLeases).push_back(targets[i].leaseUntil);
    }
    return WithConnection(false, [&](PGconn* connection) {
        changes->clear();
        return Transaction(connection, [&](PGconn* c) {
            Result state = Run(c, "UPDATE directory_state SET version = version + 1 RETURNING version");
            if (!state.Ok() || state.Rows() != 1) {
                return Failed(state);
            }
            int64_t version = state.Int(0, 0);
            // Only hosts still leased to this owner by the same claim count: a result that came
            // after its lease ran out is left to whoever probes the host now.
            Result answered = Run(c,
                                  "UPDATE listings AS l SET verified = true, failures = 0,"
                                  " listed_since = CASE WHEN o.verified THEN l.listed_since ELSE $1 END,"
                                  " last_answered = $1, next_probe = $2, lease_owner = NULL, changed = $3"
                                  " FROM (SELECT s.id, s.verified FROM listings s"
                                  "  JOIN unnest($4::bigint[], $5::bigint[]) AS t(id, lease)"
                                  "  ON s.id = t.id AND s.next_probe = t.lease WHERE s.lease_owner = $6"
                                  "  FOR UPDATE OF s) AS o"
                                  " WHERE l.id = o.id RETURNING l.address, l.port, l.entry, o.verified",
                                  Params()
                                      .Add(now)
                                      .Add(now + rules.probeInterval)
                                      .Add(version)
                                      .Add(answeredIds)
                                      .Add(answeredLeases)
                                      .Add(owner));
            if (!answered.Ok()) {
                return Failed(answered);
            }
            for (int row = 0; row < answered.Rows(); ++row) {
                if (answered.Int(row, 3) == 0) {
                    ServerEntry entry = {};
                    answered.Entry(row, 2, &entry);
                    changes->push_back(ProbeChange{ProbeChange::Listed, answered.Text(row, 0),
                                                   static_cast<int>(answered.Int(row, 1)), EntryText(entry.szName), 0,
                                                   false});
                }
            }
            Result failed = Run(c,
                                "UPDATE listings AS l SET failures = l.failures + 1, next_probe = $1,"
                                " lease_owner = NULL, changed = $2"
                                " FROM unnest($3::bigint[], $4::bigint[]) AS t(id, lease)"
                                " WHERE l.id = t.id AND l.next_probe = t.lease AND l.lease_owner = $5 RETURNING l.id",
                                Params()
                                    .Add(now + rules.retryInterval)
                                    .Add(version)
                                    .Add(silentIds)
                                    .Add(silentLeases)
                                    .Add(owner));
            if (!failed.Ok()) {
                return Failed(failed);
            }
            std::vector<int64_t> failedIds;
            for (int row = 0; row < failed.Rows(); ++row) {
                failedIds.push_back(failed.Int(row, 0));
            }
            Result dropped = Run(c,
                                 "DELETE FROM listings WHERE id = ANY($1::bigint[]) AND failures >= $2"
                                 " RETURNING id, address, port, entry, verified, failures",
                                 Params().Add(failedIds).Add(int64_t{rules.failuresToDrop}));
            if (!dropped.Ok()) {
                return Failed(dropped);
            }
            std::vector<int64_t> droppedIds;
            for (int row = 0; row < dropped.Rows(); ++row) {
                droppedIds.push_back(dropped.Int(row, 0));
                ServerEntry entry = {};
                dropped.Entry(row, 3, &entry);
                changes->push_back(ProbeChange{ProbeChange::Dropped, dropped.Text(row, 1),
                                               static_cast<int>(dropped.Int(row, 2)), EntryText(entry.szName),
                                               static_cast<int>(dropped.Int(row, 5)), dropped.Int(row, 4) != 0});
            }
            if (!droppedIds.empty()) {
                Result noted = Run(c,
                                   "INSERT INTO removed_hosts (id, version, removed_at)"
                                   " SELECT unnest($1::bigint[]), $2, $3",
                                   Params().Add(droppedIds).Add(version).Add(now));
                Result counted = Run(c, "UPDATE directory_state SET entries = entries - $1",
                                     Params().Add(static_cast<int64_t>(droppedIds.size())));
                if (!noted.Ok() || !counted.Ok()) {
                    return Failed(noted.Ok() ? counted : noted);
                }
            }
            return Finish::Commit;
        });
    });
}

bool PostgresStore::ReadChanges(int64_t* version, bool* full, std::vector<StoredHost>* changed,
                                std::vector<int64_t>* removed)
{
    return WithConnection(true, [&](PGconn* connection) {
        changed->clear();
        removed->clear();
        int64_t current = *version;
        // One snapshot for the version and the rows: changes commit in the order of their versions.
        bool read = Transaction(
            connection,
            [&](PGconn* c) {
                Result state = Run(c, "SELECT version, removed_floor FROM directory_state");
                if (!state.Ok() || state.Rows() != 1) {
                    return Failed(state);
                }
                current = state.Int(0, 0);
                *full = *version == 0 || *version < state.Int(0, 1) || *version > current;
                if (current == *version) {
                    return Finish::Commit;
                }
                Result hosts = *full ? Run(c, "SELECT id, address, port, entry, verified, listed_since, last_answered"
                                              " FROM listings ORDER BY id")
                                     : Run(c,
                                           "SELECT id, address, port, entry, verified, listed_since, last_answered"
                                           " FROM listings WHERE changed > $1 ORDER BY id",
                                           Params().Add(*version));
                if (!hosts.Ok()) {
                    return Failed(hosts);
                }
                for (int row = 0; row < hosts.Rows(); ++row) {
                    StoredHost host = {};
                    host.id = hosts.Int(row, 0);
                    host.address = hosts.Text(row, 1);
                    host.port = static_cast<int>(hosts.Int(row, 2));
                    host.listed = hosts.Int(row, 4) != 0;
                    host.listedSince = hosts.Int(row, 5);
                    host.lastAnswered = hosts.Int(row, 6);
                    if (hosts.Entry(row, 3, &host.entry)) {
                        changed->push_back(host);
                    }
                }
                if (!*full) {
                    Result gone = Run(c, "SELECT id FROM removed_hosts WHERE version > $1", Params().Add(*version));
                    if (!gone.Ok()) {
                        return Failed(gone);
                    }
                    for (int row = 0; row < gone.Rows(); ++row) {
                        removed->push_back(gone.Int(row, 0));
                    }
                }
                return Finish::Commit;
            },
            "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        if (read) {
            *version = current;
        }
        return read;
    });
}

bool PostgresStore::Tidy(StoreTime now, StoreTime window, StoreTime keepRemoved)
{
    return WithConnection(false, [&](PGconn* c) {
        Result attempts = Run(c, "DELETE FROM publication_attempts WHERE at <= $1", Params().Add(now - window));
        Result removed = Run(c,
                             "WITH gone AS (DELETE FROM removed_hosts WHERE removed_at < $1 RETURNING version)"
                             " UPDATE directory_state SET removed_floor ="
                             " GREATEST(removed_floor, (SELECT max(version) FROM gone))",
                             Params().Add(now - keepRemoved));
        if (!attempts.Ok() || !removed.Ok()) {
            Failed(attempts.Ok() ? removed : attempts);
            return false;
        }
        return true;
    });
}

bool PostgresStore::WithConnection(bool mayReconnect, const std::function<bool(PGconn*)>& body)
{
    Slot* slot = Acquire();
    bool succeeded = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool fresh = false;
        if (slot->connection == nullptr || PQstatus(slot->connection) != CONNECTION_OK ||
            slot->generation != generation_) {
            if (!available_ && !mayReconnect) {
                Failed("not connected");
                break;
            }
            if (!Connect(slot)) {
                break;
            }
            fresh = true;
        }
        succeeded = body(slot->connection);
        if (succeeded || PQstatus(slot->connection) == CONNECTION_OK) {
            if (!succeeded && PQtransactionStatus(slot->connection) != PQTRANS_IDLE) {
                PQclear(PQexec(slot->connection, "ROLLBACK"));
            }
            break;
        }
        // The connection broke: the server went, or it was restarted while this one sat idle.
        Failed(OneLine(PQerrorMessage(slot->connection)));
        PQfinish(slot->connection);
        slot->connection = nullptr;
        if (fresh) {
            available_ = false;
            break;
        }
    }
    if (succeeded && !available_.exchange(true)) {
        // Back after a failure: connections made before it are replaced before their next use.
        ++generation_;
        slot->generation = generation_;
    }
    Release(slot);
    return succeeded;
}

bool PostgresStore::Transaction(PGconn* connection, const std::function<Finish(PGconn*)>& body, const char* begin)
{
    Result started = Run(connection, begin);
    if (!started.Ok()) {
        Failed(started);
        return false;
    }
    Finish finish = body(connection);
    if (finish == Finish::Commit) {
        Result committed = Run(connection, "COMMIT");
        if (committed.Ok()) {
            return true;
        }
        Failed(committed);
        return false;
    }
    Run(connection, "ROLLBACK");
    return finish == Finish::Rollback;
}

bool PostgresStore::Connect(Slot* slot)
{
    PQfinish(slot->connection);
    // Ours first, so that the operator's connection string can override each of them: a
    // connection attempt, a silent server and any one statement are each bounded, so that
    // a publication never waits long for a database that has gone. Commits do not wait for
    // the disk, except a publication's (see Publish): what else is written (attempts, leases,
    // probe results) is soon written again, and a publication's wait then holds up no other.
    const char* keywords[] = {"connect_timeout", "tcp_user_timeout", "keepalives_idle", "application_name",
                              "options", "dbname", nullptr};
    const char* values[] = {"3", "5000", "10", "quarv-directory",
                            "-c statement_timeout=5000 -c client_min_messages=warning -c synchronous_commit=off",
                            conninfo_.c_str(), nullptr};
    slot->connection = PQconnectdbParams(keywords, values, 1);
    if (PQstatus(slot->connection) != CONNECTION_OK) {
        Failed(OneLine(PQerrorMessage(slot->connection)));
        available_ = false;
        PQfinish(slot->connection);
        slot->connection = nullptr;
        return false;
    }
    slot->generation = generation_;
    return true;
}

PostgresStore::Slot* PostgresStore::Acquire()
{
    std::unique_lock<std::mutex> lock(poolMutex_);
    for (;;) {
        for (Slot& slot : slots_) {
            if (!slot.busy) {
                slot.busy = true;
                return &slot;
            }
        }
        poolWake_.wait(lock);
    }
}

void PostgresStore::Release(Slot* slot)
{
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        slot->busy = false;
    }
    poolWake_.notify_one();
}

bool PostgresStore::Failed(const std::string& error)
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    lastError_ = error;
    return false;
}

PostgresStore::Finish PostgresStore::Failed(const Result& result)
{
    Failed(OneLine(result.Error()));
    return Finish::Fail;
}

}  // namespace

std::unique_ptr<DirectoryStore> MakePostgresStore(const std::string& conninfo)
{
    return std::unique_ptr<DirectoryStore>(new PostgresStore(conninfo));
}
