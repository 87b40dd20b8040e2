#pragma once
// Where the directory keeps its hosts: one small interface with one implementation per kind
// of store, an SQLite file for a single instance and a PostgreSQL database for a fleet of
// instances. Whatever must hold for the fleet as a whole is decided inside the store, each
// in one transaction: the limits per address and in all, the publication rate, which
// instance probes a host (a lease), and how many probes in a row a host has failed. The
// rest of the service never sees SQL. Implementations are thread-safe.
#include "server_entry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Milliseconds since the Unix epoch. Every instance of a fleet writes times from its own
// clock, so their clocks must agree (NTP) to well within a probe interval.
using StoreTime = int64_t;

struct StoredHost {
    int64_t id;              // also the order of first publication
    std::string address;
    int port;
    ServerEntry entry;
    bool listed;             // a probe has found it
    StoreTime listedSince;   // its first good probe; 0 before that
    StoreTime lastAnswered;  // its latest good probe; 0 before the first
};

// A host leased to one instance for one probe: no other instance takes it until the lease
// ends, and a result that comes after the lease has ended is not counted.
struct ProbeTarget {
    int64_t id;
    std::string address;
    int port;
    StoreTime leaseUntil;
};

struct PublicationLimits {
    int entriesPerAddress;
    size_t maxEntries;
    int attemptsPerWindow;  // publication attempts per address
    StoreTime window;
};

struct ProbeRules {
    StoreTime probeInterval;  // after a good probe
    StoreTime retryInterval;  // after a failed one
    int failuresToDrop;
};

enum class StoredPublication {
    Added,          // a new host, to be probed at once
    Refreshed,      // the same address and port again: its entry replaced
    AddressFull,    // the address holds as many entries as it may
    DirectoryFull,
};

// What a round of probe results changed, for the log.
struct ProbeChange {
    enum Kind { Listed, Dropped } kind;
    std::string address;
    int port;
    std::string name;
    int failures;     // for Dropped: the failed probes in a row
    bool wasListed;   // for Dropped
};

class DirectoryStore {
public:
    virtual ~DirectoryStore() = default;

    // Connects, and creates the schema or brings it up to date (numbered steps, each in a
    // transaction; instances that start together on an empty database wait for each other).
    virtual bool Open(std::string* error) = 0;
    // What the log says the store is: never a password.
    virtual std::string Describe() const = 0;
    // False while the store cannot be reached or its last write failed; the next operation
    // that succeeds makes it true again.
    virtual bool Available() const = 0;
    // The reason of the latest failure.
    virtual std::string LastError() const = 0;

    // Counts a publication attempt from the address, unless it has made as many within the
    // window before now as it may: *admitted tells which.
    virtual bool AdmitPublication(const std::string& address, StoreTime now, const PublicationLimits& limits,
                                  bool* admitted) = 0;
    // Adds the host, or replaces the entry of the one with the same address and port,
    // within the limits. A new host, or a known one not yet listed, is due for a probe at once.
    virtual bool Publish(const std::string& address, const ServerEntry& entry, const PublicationLimits& limits,
                         StoreTime now, StoredPublication* result) = 0;

    // Leases to the owner up to max hosts whose probe is due, until leaseUntil. *nextDue
    // is when the next host not leased now becomes due, 0 when there is none.
    virtual bool ClaimDueProbes(const std::string& owner, StoreTime now, StoreTime leaseUntil, size_t max,
                                std::vector<ProbeTarget>* due, StoreTime* nextDue) = 0;
    // Counts the results of the owner's leased probes (alive[i] for targets[i]) and frees
    // the leases: a good probe lists the host, failedToDrop failures in a row remove it.
    virtual bool RecordProbes(const std::string& owner, const std::vector<ProbeTarget>& targets,
                              const std::vector<bool>& alive, StoreTime now, const ProbeRules& rules,
                              std::vector<ProbeChange>* changes) = 0;

    // The hosts added or changed and the ids removed since *version, the store's count of
    // changes, which comes back advanced. From version 0, or when the store no longer knows
    // what was removed since *version, every host comes back and *full is true.
    virtual bool ReadChanges(int64_t* version, bool* full, std::vector<StoredHost>* changed,
                             std::vector<int64_t>* removed) = 0;
    // Forgets publication attempts that have left the window, and removed hosts older than
    // keepRemoved (an instance that has not read its changes for that long reads them all).
    virtual bool Tidy(StoreTime now, StoreTime window, StoreTime keepRemoved) = 0;
};

std::unique_ptr<DirectoryStore> MakeSqliteStore(const std::string& path);
// conninfo: a libpq connection string or URI (postgresql://...).
std::unique_ptr<DirectoryStore> MakePostgresStore(const std::string& conninfo);
