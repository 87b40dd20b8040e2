#include "directory_service.h"

#include "host_probe.h"
#include "log.h"
#include "timed_store.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// A round of probes lasts as long as its slowest host, up to the time-out, and hosts that
// have gone often answer nothing at all. Several rounds at once keep one silent host from
// holding up the others: 8 x 128 hosts per probe time-out is more than 10,000 hosts need
// every minute.
const int PROBE_THREADS = 8;
const size_t PROBE_BATCH = 128;
// How often the directory reads what other instances changed: a host listed or dropped
// through any instance shows in every instance's lists within about this.
const auto SYNC_PERIOD = std::chrono::milliseconds(500);
const auto TIDY_PERIOD = std::chrono::minutes(1);

bool WritePortFile(const std::string& path, int port)
{
    // Written under another name and renamed, so that a reader never sees half of it.
    std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fprintf(file, "%d\n", port) > 0;
    written = std::fclose(file) == 0 && written;
    return written && std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

std::unique_ptr<DirectoryStore> MakeStore(const ServiceSettings& settings)
{
    return settings.database.empty() ? MakeSqliteStore(settings.dataFile) : MakePostgresStore(settings.database);
}

DirectoryService::DirectoryService(const ServiceSettings& settings)
    : settings_(settings), store_(MakeTimedStore(MakeStore(settings_), metrics_.storeSeconds)),
      web_([this] { return directory_->ListedHosts(); }, [this] { return Health(); }, registry_)
{
    directory_.reset(new Directory(settings_, *store_));
    registry_.Gauge("quarv_directory_listed_hosts", "Hosts listed now: published and answering probes.",
                    [this] { return static_cast<double>(directory_->ListedCount()); });
    registry_.Gauge("quarv_directory_stored_hosts", "Hosts in the store now, listed or waiting for a first answer.",
                    [this] { return static_cast<double>(directory_->EntryCount()); });
    registry_.Gauge("quarv_directory_open_connections", "HTTP connections open now.",
                    [this] { return static_cast<double>(front_.OpenConnections()); });
}

DirectoryService::~DirectoryService()
{
    Stop();
}

bool DirectoryService::Start(std::string* error)
{
    if (!store_->Open(error)) {
        *error = "cannot open the " + store_->Describe() + ": " + *error;
        return false;
    }
    if (!directory_->Sync()) {
        *error = "cannot read the " + store_->Describe() + ": " + store_->LastError();
        return false;
    }
    lastSync_ = std::chrono::steady_clock::now().time_since_epoch().count();
    if (!front_.Start(settings_, *directory_, web_, metrics_, error)) {
        return false;
    }
    if (!settings_.portFile.empty() && !WritePortFile(settings_.portFile, Port())) {
        *error = "cannot write " + settings_.portFile;
        front_.Stop();
        return false;
    }
    stopping_ = false;
    for (int i = 0; i < PROBE_THREADS; ++i) {
        probers_.emplace_back(&DirectoryService::RunProbes, this);
    }
    syncer_ = std::thread(&DirectoryService::RunSync, this);
    Log("listening on %s:%d as %s; %zu entries in the %s, %zu of them listed", settings_.listenAddress.c_str(),
        Port(), directory_->Owner().c_str(), directory_->EntryCount(), store_->Describe().c_str(),
        directory_->ListedCount());
    return true;
}

void DirectoryService::Stop()
{
    front_.Stop();
    directory_->Stop();
    for (std::thread& prober : probers_) {
        prober.join();
    }
    probers_.clear();
    if (syncer_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(stopMutex_);
            stopping_ = true;
        }
        stopWake_.notify_all();
        syncer_.join();
    }
}

void DirectoryService::RunProbes()
{
    auto timeout = std::chrono::milliseconds(static_cast<long long>(settings_.probeTimeout * 1000));
    for (;;) {
        std::vector<ProbeTarget> due = directory_->WaitForDueProbes(PROBE_BATCH);
        if (due.empty()) {
            return;
        }
        std::vector<bool> alive = ProbeHosts(due, timeout);
        size_t answered = static_cast<size_t>(std::count(alive.begin(), alive.end(), true));
        metrics_.probes.Add({"answered"}, answered);
        metrics_.probes.Add({"failed"}, alive.size() - answered);
        directory_->RecordProbeResults(due, alive, WallClock::now());
    }
}

void DirectoryService::RunSync()
{
    auto nextTidy = std::chrono::steady_clock::now();
    auto lostAt = std::chrono::steady_clock::now();
    bool available = true;
    std::unique_lock<std::mutex> lock(stopMutex_);
    while (!stopWake_.wait_for(lock, SYNC_PERIOD, [this] { return stopping_; })) {
        lock.unlock();
        // Also the store's heartbeat: a store that went away is tried again here, and the
        // lists come up to date as soon as it is back.
        if (directory_->Sync()) {
            lastSync_ = std::chrono::steady_clock::now().time_since_epoch().count();
        }
        bool availableNow = directory_->CanStore();
        if (available && !availableNow) {
            lostAt = std::chrono::steady_clock::now();
            Log("the %s cannot be used: %s; lists are served from memory, publications are refused and "
                "probes wait until it is back",
                store_->Describe().c_str(), store_->LastError().c_str());
        } else if (!available && availableNow) {
            auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - lostAt);
            Log("the %s is back after %lld s", store_->Describe().c_str(), static_cast<long long>(seconds.count()));
        }
        available = availableNow;
        if (available && std::chrono::steady_clock::now() >= nextTidy) {
            directory_->Tidy(WallClock::now());
            nextTidy = std::chrono::steady_clock::now() + TIDY_PERIOD;
        }
        lock.lock();
    }
}

// Lists are answered from memory whatever the store does. But while the store cannot be
// read, probes wait and hosts that have gone stay listed: once that has lasted longer than
// a host that went away takes to leave the list, this instance's lists can no longer be
// trusted, and a load balancer should send players elsewhere.
ServiceHealth DirectoryService::Health() const
{
    auto sinceSync = std::chrono::steady_clock::now().time_since_epoch() -
                     std::chrono::steady_clock::duration(lastSync_.load());
    double seconds = std::chrono::duration<double>(sinceSync).count();
    double dropTime = settings_.probeInterval + settings_.failuresToDrop * (settings_.retryInterval + settings_.probeTimeout);
    std::string storing = directory_->CanStore() ? "publications are stored" : "publications cannot be stored now";
    if (seconds > dropTime) {
        char text[160] = {};
        std::snprintf(text, sizeof text, "stale: the store has not been read for %.0f s, lists may show hosts that have gone; %s",
                      seconds, storing.c_str());
        return ServiceHealth{false, text};
    }
    return ServiceHealth{true, "ok: answering list requests; " + storing};
}
