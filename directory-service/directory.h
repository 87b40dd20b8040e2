#pragma once
// The directory as one instance sees it. The hosts live in the store, which holds the
// rules for every instance that shares it (limits, publication rate, probe leases, failure
// counts); this instance keeps a copy of them in memory, so that list requests never wait
// for the store and are answered even while it is down. The copy is brought up to date
// after each of this instance's own changes and every fraction of a second for the others'
// (Sync), and the lists players receive are prepared once per change. Thread-safe: HTTP
// requests, the probe loops and the sync loop share one instance.
#include "directory_store.h"
#include "host_snapshot.h"
#include "server_entry.h"
#include "service_settings.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum class Admission {
    Admitted,
    TooMany,           // the address has used up its publications for the minute
    StoreUnavailable,
};

enum class PublishResult {
    Added,             // stored; listed once a probe finds the host
    Refreshed,         // the same address and port published again: name and fields replaced
    Invalid,           // the body is not an acceptable entry
    AddressFull,       // the address holds as many entries as it may
    DirectoryFull,
    StoreUnavailable,  // nothing was stored
};

// The lists players receive, prepared once per change. Up to 20 listed hosts fit on one
// page; beyond that page i holds the listed hosts from the (20 i)-th on, in the order of
// their first publication, and the last page wraps round to the first hosts, so that every
// list is full and successive lists rotate through all of them.
struct ListPages {
    uint64_t generation;  // a new number for every new set of pages
    std::vector<ServerList> pages;
};

class Directory {
public:
    Directory(const ServiceSettings& settings, DirectoryStore& store);

    // Reads what changed in the store. False when the store cannot be read; the copy in
    // memory, and the lists, stay as they were.
    bool Sync();
    // Lets the store forget what no longer matters; every minute or so.
    void Tidy(WallClock::time_point now);

    // Counts a publication attempt against its source address's rate, fleet-wide.
    Admission AdmitPublication(const std::string& source, WallClock::time_point now);
    // The host is listed under the address the publication came from, whatever the entry's
    // own address field says. Answers Added or Refreshed only once the store holds it.
    PublishResult Publish(const std::string& source, const unsigned char* body, size_t size,
                          WallClock::time_point now, std::string* reason);

    // The pages as of the latest change, and the rotation's next step (any number: taken
    // modulo the count of pages).
    std::shared_ptr<const ListPages> Pages() const;
    size_t NextRotationStep() { return rotation_++; }
    // The next list to hand out.
    ServerList NextList();

    // Leases hosts whose probe is due to this instance.
    std::vector<ProbeTarget> TakeDueProbes(WallClock::time_point now, size_t max);
    // Sleeps until probes are due (or a publication here wants one) and leases them; empty
    // once stopped. While the store is down nobody is probed: a host is never dropped for
    // the store's fault.
    std::vector<ProbeTarget> WaitForDueProbes(size_t max);
    void RecordProbeResults(const std::vector<ProbeTarget>& targets, const std::vector<bool>& alive,
                            WallClock::time_point now);
    void Stop();

    size_t EntryCount() const;
    size_t ListedCount() const;
    // Every listed host, in the order of first publication, for the web page and the JSON list.
    std::vector<HostSnapshot> ListedHosts() const;
    // Whether a publication can be stored now (false while PostgreSQL cannot be reached).
    bool CanStore() const { return store_.Available(); }
    // The name this instance's probe leases carry in the store: host name, process id and
    // a random part, so that no two instances, nor two lives of one, share it.
    const std::string& Owner() const { return owner_; }

private:
    PublicationLimits Limits() const;
    void WakeProbers();
    void RebuildPages();

    const ServiceSettings settings_;
    DirectoryStore& store_;
    const std::string owner_;

    std::mutex syncMutex_;  // one Sync at a time; held while reading the store
    int64_t version_ = 0;   // the store's count of changes as of the last Sync

    mutable std::mutex mutex_;
    std::map<int64_t, StoredHost> hosts_;  // by id, which is also the order of first publication
    size_t listed_ = 0;
    uint64_t generation_ = 0;
    std::shared_ptr<const ListPages> pages_;  // replaced whole, read with atomic_load
    std::atomic<size_t> rotation_{0};

    // The probe loops: one of them at a time asks the store for due hosts.
    std::condition_variable wake_;
    bool stopped_ = false;
    bool claiming_ = false;
    uint64_t wakes_ = 0;
    StoreTime nextClaim_ = 0;
};
