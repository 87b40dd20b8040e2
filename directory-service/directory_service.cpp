#include "directory_service.h"

#include "host_probe.h"
#include "log.h"

#include <chrono>
#include <cstdio>

namespace {

// A round of probes lasts as long as its slowest host, up to the time-out, and hosts that
// have gone often answer nothing at all. Several rounds at once keep one silent host from
// holding up the others: 8 x 128 hosts per probe time-out is more than 10,000 hosts need
// every minute.
const int PROBE_THREADS = 8;
const size_t PROBE_BATCH = 128;

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

DirectoryService::DirectoryService(const ServiceSettings& settings) : settings_(settings)
{
    directory_.reset(new Directory(settings_, store_));
}

DirectoryService::~DirectoryService()
{
    Stop();
}

bool DirectoryService::Start(std::string* error)
{
    if (!store_.Open(settings_.dataFile, error)) {
        *error = "cannot open " + settings_.dataFile + ": " + *error;
        return false;
    }
    if (!directory_->Load(Clock::now())) {
        *error = "cannot read " + settings_.dataFile + ": " + store_.LastError();
        return false;
    }
    if (!front_.Start(settings_, *directory_, error)) {
        return false;
    }
    if (!settings_.portFile.empty() && !WritePortFile(settings_.portFile, Port())) {
        *error = "cannot write " + settings_.portFile;
        front_.Stop();
        return false;
    }
    for (int i = 0; i < PROBE_THREADS; ++i) {
        probers_.emplace_back(&DirectoryService::RunProbes, this);
    }
    Log("listening on %s:%d; %zu entries in %s, %zu of them listed", settings_.listenAddress.c_str(), Port(),
        directory_->EntryCount(), settings_.dataFile.c_str(), directory_->ListedCount());
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
        directory_->RecordProbeResults(due, alive, Clock::now());
    }
}
