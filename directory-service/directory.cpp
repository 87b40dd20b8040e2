#include "directory.h"

#include "log.h"
#include "publication.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

// How long a store that failed is left alone before the probe loops ask it again.
const StoreTime STORE_RETRY_MS = 1000;
// The longest the probe loops go without asking the store for due hosts: hosts published
// through another instance that died before probing them, and leases of dead instances,
// are found within this.
const StoreTime CLAIM_POLL_MS = 1000;
const StoreTime PUBLICATION_WINDOW_MS = 60 * 1000;
// An instance that has not read the store's changes for this long reads everything again.
const StoreTime KEEP_REMOVED_MS = 10 * 60 * 1000;

StoreTime Millis(WallClock::time_point when)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
}

StoreTime Millis(double seconds)
{
    return static_cast<StoreTime>(seconds * 1000);
}

WallClock::time_point FromMillis(StoreTime millis)
{
    return WallClock::time_point(std::chrono::duration_cast<WallClock::duration>(std::chrono::milliseconds(millis)));
}

std::string MakeOwner()
{
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::random_device random;
    char name[512] = {};
    std::snprintf(name, sizeof name, "%s/%d/%08x", host, static_cast<int>(getpid()), random());
    return name;
}

}  // namespace

Directory::Directory(const ServiceSettings& settings, DirectoryStore& store)
    : settings_(settings), store_(store), owner_(MakeOwner()),
      pages_(std::make_shared<const ListPages>(ListPages{0, std::vector<ServerList>(1, ServerList())}))
{
}

bool Directory::Sync()
{
    std::lock_guard<std::mutex> syncLock(syncMutex_);
    int64_t version = version_;
    bool full = false;
    std::vector<StoredHost> changed;
    std::vector<int64_t> removed;
    if (!store_.ReadChanges(&version, &full, &changed, &removed)) {
        return false;
    }
    if (version == version_ && !full) {
        return true;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    version_ = version;
    bool listChanged = false;
    if (full) {
        listChanged = listed_ != 0;
        hosts_.clear();
    }
    for (int64_t id : removed) {
        auto known = hosts_.find(id);
        if (known != hosts_.end()) {
            listChanged = listChanged || known->second.listed;
            hosts_.erase(known);
        }
    }
    for (const StoredHost& host : changed) {
        auto known = hosts_.find(host.id);
        if (known == hosts_.end()) {
            listChanged = listChanged || host.listed;
            hosts_.emplace(host.id, host);
            continue;
        }
        StoredHost& held = known->second;
        listChanged = listChanged || held.listed != host.listed ||
                      (host.listed && std::memcmp(&held.entry, &host.entry, sizeof host.entry) != 0);
        held = host;
    }
    if (listChanged) {
        RebuildPages();
    }
    return true;
}

void Directory::Tidy(WallClock::time_point now)
{
    if (!store_.Tidy(Millis(now), PUBLICATION_WINDOW_MS, KEEP_REMOVED_MS)) {
        Log("cannot tidy the store: %s", store_.LastError().c_str());
    }
}

Admission Directory::AdmitPublication(const std::string& source, WallClock::time_point now)
{
    bool admitted = false;
    if (!store_.AdmitPublication(source, Millis(now), Limits(), &admitted)) {
        return Admission::StoreUnavailable;
    }
    return admitted ? Admission::Admitted : Admission::TooMany;
}

PublishResult Directory::Publish(const std::string& source, const unsigned char* body, size_t size,
                                 WallClock::time_point now, std::string* reason)
{
    ServerEntry entry = {};
    if (!ParsePublication(body, size, &entry, reason)) {
        return PublishResult::Invalid;
    }
    SetEntryText(entry.szAddress, source.c_str());

    StoredPublication stored = StoredPublication::Added;
    if (!store_.Publish(source, entry, Limits(), Millis(now), &stored)) {
        *reason = store_.LastError();
        return PublishResult::StoreUnavailable;
    }
    switch (stored) {
    case StoredPublication::AddressFull:
        *reason = "address holds " + std::to_string(settings_.entriesPerAddress) + " entries already";
        return PublishResult::AddressFull;
    case StoredPublication::DirectoryFull:
        *reason = "directory holds " + std::to_string(settings_.maxEntries) + " entries already";
        return PublishResult::DirectoryFull;
    case StoredPublication::Added:
        Log("published %s:%d \"%s\", probing it before listing", source.c_str(), entry.nPort,
            EntryText(entry.szName).c_str());
        break;
    case StoredPublication::Refreshed:
        Log("refreshed %s:%d \"%s\"", source.c_str(), entry.nPort, EntryText(entry.szName).c_str());
        break;
    }
    // A new host, or one not listed yet that says it is up now, is due for a probe at once.
    WakeProbers();
    Sync();
    return stored == StoredPublication::Added ? PublishResult::Added : PublishResult::Refreshed;
}

std::shared_ptr<const ListPages> Directory::Pages() const
{
    return std::atomic_load(&pages_);
}

ServerList Directory::NextList()
{
    std::shared_ptr<const ListPages> pages = Pages();
    return pages->pages[NextRotationStep() % pages->pages.size()];
}

std::vector<ProbeTarget> Directory::TakeDueProbes(WallClock::time_point now, size_t max)
{
    std::vector<ProbeTarget> due;
    StoreTime nextDue = 0;
    StoreTime at = Millis(now);
    if (!store_.ClaimDueProbes(owner_, at, at + Millis(settings_.probeLease), max, &due, &nextDue)) {
        due.clear();
    }
    return due;
}

std::vector<ProbeTarget> Directory::WaitForDueProbes(size_t max)
{
    const StoreTime poll = std::min(CLAIM_POLL_MS, std::max<StoreTime>(1, Millis(settings_.retryInterval)));
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopped_) {
            return {};
        }
        StoreTime now = Millis(WallClock::now());
        if (claiming_) {
            wake_.wait(lock);
            continue;
        }
        if (now < nextClaim_) {
            // A wait for a span of time, not until a time of day: the wall clock may be set back.
            wake_.wait_for(lock, std::chrono::milliseconds(std::min(nextClaim_ - now, poll)));
            continue;
        }
        claiming_ = true;
        uint64_t wakesBefore = wakes_;
        lock.unlock();
        std::vector<ProbeTarget> due;
        StoreTime nextDue = 0;
        bool claimed = store_.ClaimDueProbes(owner_, now, now + Millis(settings_.probeLease), max, &due, &nextDue);
        lock.lock();
        claiming_ = false;
        if (!claimed) {
            nextClaim_ = now + STORE_RETRY_MS;
        } else if (due.size() >= max || wakes_ != wakesBefore) {
            nextClaim_ = now;
        } else {
            nextClaim_ = nextDue != 0 ? std::min(nextDue, now + poll) : now + poll;
        }
        wake_.notify_all();
        if (!due.empty()) {
            return due;
        }
    }
}

void Directory::RecordProbeResults(const std::vector<ProbeTarget>& targets, const std::vector<bool>& alive,
                                   WallClock::time_point now)
{
    ProbeRules rules = {Millis(settings_.probeInterval), Millis(settings_.retryInterval), settings_.failuresToDrop};
    std::vector<ProbeChange> changes;
    if (!store_.RecordProbes(owner_, targets, alive, Millis(now), rules, &changes)) {
        Log("cannot save the results of %zu probes: %s; those hosts are probed again once their leases end",
            targets.size(), store_.LastError().c_str());
        return;
    }
    for (const ProbeChange& change : changes) {
        if (change.kind == ProbeChange::Listed) {
            Log("listed %s:%d \"%s\": it answered as a lobby host", change.address.c_str(), change.port,
                change.name.c_str());
        } else {
            Log("dropped %s:%d \"%s\": no answer to %d probes in a row%s", change.address.c_str(), change.port,
                change.name.c_str(), change.failures, change.wasListed ? "" : ", never listed");
        }
    }
    Sync();
}

void Directory::Stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    wake_.notify_all();
}

size_t Directory::EntryCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return hosts_.size();
}

size_t Directory::ListedCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return listed_;
}

std::vector<HostSnapshot> Directory::ListedHosts() const
{
    std::vector<HostSnapshot> hosts;
    std::lock_guard<std::mutex> lock(mutex_);
    hosts.reserve(listed_);
    for (const auto& held : hosts_) {
        const StoredHost& host = held.second;
        if (host.listed) {
            hosts.push_back(HostSnapshot{host.address, host.port, EntryText(host.entry.szName),
                                         FromMillis(host.listedSince), FromMillis(host.lastAnswered)});
        }
    }
    return hosts;
}

PublicationLimits Directory::Limits() const
{
    return PublicationLimits{settings_.entriesPerAddress, settings_.maxEntries, settings_.publicationsPerMinute,
                             PUBLICATION_WINDOW_MS};
}

void Directory::WakeProbers()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakes_;
    nextClaim_ = 0;
    wake_.notify_all();
}

void Directory::RebuildPages()
{
    std::vector<const ServerEntry*> listed;
    for (const auto& held : hosts_) {
        if (held.second.listed) {
            listed.push_back(&held.second.entry);
        }
    }
    listed_ = listed.size();
    const size_t perPage = SERVER_LIST_ENTRIES;
    size_t count = listed.size() <= perPage ? 1 : (listed.size() + perPage - 1) / perPage;
    auto pages = std::make_shared<ListPages>(ListPages{++generation_, std::vector<ServerList>(count, ServerList())});
    for (size_t page = 0; page < count; ++page) {
        for (size_t slot = 0; slot < perPage; ++slot) {
            size_t index = page * perPage + slot;
            if (listed.size() <= perPage && index >= listed.size()) {
                break;
            }
            pages->pages[page].aEntries[slot] = *listed[index % listed.size()];
        }
    }
    std::atomic_store(&pages_, std::shared_ptr<const ListPages>(pages));
}
