#pragma once
// The whole service in one piece: the store, the directory, the HTTP front, the probe
// loops and the loop that keeps the directory's copy of the store up to date, started and
// stopped together. The program's main and the tests share it.
#include "directory.h"
#include "directory_store.h"
#include "http_front.h"
#include "metrics.h"
#include "service_metrics.h"
#include "service_settings.h"
#include "web_face.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The store the settings choose: PostgreSQL when they name a database, else the SQLite file.
std::unique_ptr<DirectoryStore> MakeStore(const ServiceSettings& settings);

class DirectoryService {
public:
    explicit DirectoryService(const ServiceSettings& settings);
    ~DirectoryService();
    DirectoryService(const DirectoryService&) = delete;
    DirectoryService& operator=(const DirectoryService&) = delete;

    bool Start(std::string* error);
    void Stop();
    int Port() const { return front_.Port(); }
    Directory& Entries() { return *directory_; }

private:
    void RunProbes();
    void RunSync();
    ServiceHealth Health() const;

    ServiceSettings settings_;
    MetricsRegistry registry_;
    ServiceMetrics metrics_{registry_};
    std::unique_ptr<DirectoryStore> store_;
    std::unique_ptr<Directory> directory_;
    // When the directory last read the store (steady-clock ticks).
    std::atomic<int64_t> lastSync_{0};
    WebFace web_;
    HttpFront front_;
    std::vector<std::thread> probers_;
    std::thread syncer_;
    std::mutex stopMutex_;
    std::condition_variable stopWake_;
    bool stopping_ = false;
};
