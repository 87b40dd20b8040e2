#pragma once
// The whole service in one piece: the data file, the directory, the HTTP front and the
// probe loop, started and stopped together. The program's main and the tests share it.
#include "directory.h"
#include "directory_store.h"
#include "http_front.h"
#include "service_settings.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

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

    ServiceSettings settings_;
    DirectoryStore store_;
    std::unique_ptr<Directory> directory_;
    HttpFront front_;
    std::vector<std::thread> probers_;
};
