#pragma once
// The directory's state: every published host, whether a probe has found it alive, when
// to probe it next, and which hosts the next list shows. Thread-safe: HTTP requests and
// the probe loop share one instance.
#include "directory_store.h"
#include "rate_limiter.h"
#include "server_entry.h"
#include "service_settings.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct ProbeTarget {
    int64_t id;
    std::string address;
    int port;
};

enum class PublishResult {
    Added,          // stored; listed once a probe finds the host
    Refreshed,      // the same address and port published again: name and fields replaced
    Invalid,        // the body is not an acceptable entry
    AddressFull,    // the address holds as many entries as it may
    DirectoryFull,
    StoreFailed,
};

class Directory {
public:
    Directory(const ServiceSettings& settings, DirectoryStore& store);

    // Takes the entries the store holds. Listed hosts stay listed and are probed again
    // spread over one probe interval; the others are probed at once.
    bool Load(Clock::time_point now);

    // Counts a publication against the source address's rate; false when over it.
    bool AdmitPublication(const std::string& source, Clock::time_point now);
    // The host is listed under the address the publication came from, whatever the
    // entry's own address field says.
    PublishResult Publish(const std::string& source, const unsigned char* body, size_t size, Clock::time_point now,
                          std::string* reason);

    // The next list to hand out: every listed host when they fit, otherwise the next 20 in
    // a rotation, so that each listed host appears in some lists.
    ServerList NextList();

    std::vector<ProbeTarget> TakeDueProbes(Clock::time_point now, size_t max);
    // Sleeps until probes are due (or a publication wants one) and takes them; empty once stopped.
    std::vector<ProbeTarget> WaitForDueProbes(size_t max);
    void RecordProbeResults(const std::vector<ProbeTarget>& targets, const std::vector<bool>& alive,
                            Clock::time_point now);
    void Stop();

    size_t EntryCount() const;
    size_t ListedCount() const;

private:
    struct Listing {
        std::string address;
        int port;
        ServerEntry entry;
        bool verified;
        int failures;
        bool probing;
        Clock::time_point nextProbe;
    };

    void Schedule(int64_t id, Listing* listing, Clock::time_point when);
    std::vector<ProbeTarget> TakeDueProbesLocked(Clock::time_point now, size_t max);
    void AddListing(int64_t id, const Listing& listing);
    void RecordProbe(int64_t id, bool alive, Clock::time_point now);
    void Drop(int64_t id, const Listing& listing);

    const ServiceSettings settings_;
    DirectoryStore& store_;
    RateLimiter limiter_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::map<int64_t, Listing> listings_;  // by id, which is also the order of first publication
    std::map<std::pair<std::string, int>, int64_t> idByHost_;
    std::unordered_map<std::string, int> entriesByAddress_;
    std::set<int64_t> listed_;
    std::set<std::pair<Clock::time_point, int64_t>> schedule_;
    int64_t rotationNext_ = 0;
};
