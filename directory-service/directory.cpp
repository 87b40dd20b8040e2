#include "directory.h"

#include "log.h"
#include "publication.h"

#include <chrono>

namespace {

Clock::duration Seconds(double seconds)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

Directory::Directory(const ServiceSettings& settings, DirectoryStore& store)
    : settings_(settings), store_(store),
      limiter_(static_cast<size_t>(settings.publicationsPerMinute), std::chrono::minutes(1))
{
}

bool Directory::Load(Clock::time_point now)
{
    std::vector<StoredListing> stored;
    if (!store_.LoadAll(&stored)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    size_t index = 0;
    for (const StoredListing& s : stored) {
        Listing listing = {s.address, s.port, s.entry, s.verified, s.failures, false, now};
        AddListing(s.id, listing);
        // Spread the first round, so that a restart with many hosts does not probe them all at once.
        Clock::time_point when = s.verified ? now + Seconds(settings_.probeInterval * index / stored.size()) : now;
        Schedule(s.id, &listings_[s.id], when);
        ++index;
    }
    return true;
}

bool Directory::AdmitPublication(const std::string& source, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return limiter_.Allow(source, now);
}

PublishResult Directory::Publish(const std::string& source, const unsigned char* body, size_t size,
                                 Clock::time_point now, std::string* reason)
{
    ServerEntry entry = {};
    if (!ParsePublication(body, size, &entry, reason)) {
        return PublishResult::Invalid;
    }
    SetEntryText(entry.szAddress, source.c_str());

    std::lock_guard<std::mutex> lock(mutex_);
    auto known = idByHost_.find(std::make_pair(source, static_cast<int>(entry.nPort)));
    if (known != idByHost_.end()) {
        Listing& listing = listings_[known->second];
        if (!store_.UpdateEntry(known->second, entry)) {
            *reason = store_.LastError();
            return PublishResult::StoreFailed;
        }
        listing.entry = entry;
        // A host that is not listed yet says it is up now: no need to wait for its next try.
        if (!listing.verified && !listing.probing) {
            Schedule(known->second, &listing, now);
            wake_.notify_all();
        }
        Log("refreshed %s:%d \"%s\"", source.c_str(), entry.nPort, EntryText(entry.szName).c_str());
        return PublishResult::Refreshed;
    }
    auto held = entriesByAddress_.find(source);
    if (held != entriesByAddress_.end() && held->second >= settings_.entriesPerAddress) {
        *reason = "address holds " + std::to_string(settings_.entriesPerAddress) + " entries already";
        return PublishResult::AddressFull;
    }
    if (listings_.size() >= settings_.maxEntries) {
        *reason = "directory holds " + std::to_string(settings_.maxEntries) + " entries already";
        return PublishResult::DirectoryFull;
    }
    int64_t id = 0;
    if (!store_.Insert(source, entry.nPort, entry, &id)) {
        *reason = store_.LastError();
        return PublishResult::StoreFailed;
    }
    AddListing(id, Listing{source, entry.nPort, entry, false, 0, false, now});
    Schedule(id, &listings_[id], now);
    wake_.notify_all();
    Log("published %s:%d \"%s\", probing it before listing", source.c_str(), entry.nPort,
        EntryText(entry.szName).c_str());
    return PublishResult::Added;
}

ServerList Directory::NextList()
{
    ServerList list = {};
    std::lock_guard<std::mutex> lock(mutex_);
    if (listed_.size() <= static_cast<size_t>(SERVER_LIST_ENTRIES)) {
        int slot = 0;
        for (int64_t id : listed_) {
            list.aEntries[slot++] = listings_[id].entry;
        }
        return list;
    }
    auto it = listed_.lower_bound(rotationNext_);
    for (int slot = 0; slot < SERVER_LIST_ENTRIES; ++slot) {
        if (it == listed_.end()) {
            it = listed_.begin();
        }
        list.aEntries[slot] = listings_[*it].entry;
        rotationNext_ = *it + 1;
        ++it;
    }
    return list;
}

std::vector<ProbeTarget> Directory::TakeDueProbes(Clock::time_point now, size_t max)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return TakeDueProbesLocked(now, max);
}

std::vector<ProbeTarget> Directory::WaitForDueProbes(size_t max)
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopped_) {
        Clock::time_point now = Clock::now();
        if (!schedule_.empty() && schedule_.begin()->first <= now) {
            return TakeDueProbesLocked(now, max);
        }
        if (schedule_.empty()) {
            wake_.wait(lock);
        } else {
            wake_.wait_until(lock, schedule_.begin()->first);
        }
    }
    return {};
}

void Directory::RecordProbeResults(const std::vector<ProbeTarget>& targets, const std::vector<bool>& alive,
                                   Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    bool inTransaction = store_.Begin();
    for (size_t i = 0; i < targets.size() && i < alive.size(); ++i) {
        RecordProbe(targets[i].id, alive[i], now);
    }
    if (inTransaction && !store_.Commit()) {
        Log("cannot save probe results: %s", store_.LastError());
    }
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
    return listings_.size();
}

size_t Directory::ListedCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return listed_.size();
}

void Directory::Schedule(int64_t id, Listing* listing, Clock::time_point when)
{
    schedule_.erase(std::make_pair(listing->nextProbe, id));
    listing->nextProbe = when;
    schedule_.insert(std::make_pair(when, id));
}

std::vector<ProbeTarget> Directory::TakeDueProbesLocked(Clock::time_point now, size_t max)
{
    std::vector<ProbeTarget> due;
    while (!schedule_.empty() && schedule_.begin()->first <= now && due.size() < max) {
        int64_t id = schedule_.begin()->second;
        schedule_.erase(schedule_.begin());
        Listing& listing = listings_[id];
        listing.probing = true;
        due.push_back(ProbeTarget{id, listing.address, listing.port});
    }
    return due;
}

void Directory::AddListing(int64_t id, const Listing& listing)
{
    listings_[id] = listing;
    idByHost_[std::make_pair(listing.address, listing.port)] = id;
    ++entriesByAddress_[listing.address];
    if (listing.verified) {
        listed_.insert(id);
    }
}

void Directory::RecordProbe(int64_t id, bool alive, Clock::time_point now)
{
    auto found = listings_.find(id);
    if (found == listings_.end()) {
        return;
    }
    Listing& listing = found->second;
    listing.probing = false;
    if (alive) {
        if (!listing.verified) {
            Log("listed %s:%d \"%s\": it answered as a lobby host", listing.address.c_str(), listing.port,
                EntryText(listing.entry.szName).c_str());
        }
        if (!listing.verified || listing.failures != 0) {
            listing.verified = true;
            listing.failures = 0;
            listed_.insert(id);
            store_.UpdateState(id, true, 0);
        }
        Schedule(id, &listing, now + Seconds(settings_.probeInterval));
        return;
    }
    ++listing.failures;
    if (listing.failures >= settings_.failuresToDrop) {
        Drop(id, listing);
        return;
    }
    store_.UpdateState(id, listing.verified, listing.failures);
    Schedule(id, &listing, now + Seconds(settings_.retryInterval));
}

void Directory::Drop(int64_t id, const Listing& listing)
{
    Log("dropped %s:%d \"%s\": no answer to %d probes in a row%s", listing.address.c_str(), listing.port,
        EntryText(listing.entry.szName).c_str(), listing.failures, listing.verified ? "" : ", never listed");
    store_.Remove(id);
    schedule_.erase(std::make_pair(listing.nextProbe, id));
    idByHost_.erase(std::make_pair(listing.address, listing.port));
    if (--entriesByAddress_[listing.address] == 0) {
        entriesByAddress_.erase(listing.address);
    }
    listed_.erase(id);
    listings_.erase(id);
}

