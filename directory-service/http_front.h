#pragma once
// The directory's two HTTP resources, served with libmicrohttpd:
//   GET  /cgi-bin/quarvcgiread.exe  the list, 5280 bytes
//   POST /cgi-bin/quarvcgi.exe      one 264-byte entry
// The library parses HTTP (including the lone LF that ends the wizard's GET line); this
// file decides what each request gets, and refuses what the library lets through but a
// proxy in front of a fleet could read otherwise (request smuggling).
#include "directory.h"
#include "list_responses.h"
#include "log_limiter.h"
#include "service_metrics.h"
#include "service_settings.h"
#include "web_face.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

struct MHD_Connection;
struct MHD_Daemon;

// One open connection, as the library's per-connection context.
struct OpenConnection {
    int fd = -1;
    // When its current request began, in steady-clock ticks.
    std::atomic<int64_t> since{0};
    // The current request's URI where the library showed it before cutting it up, and its
    // length then: a NUL inside the request line shows as a gap between the pieces.
    const char* rawUri = nullptr;
    size_t rawUriLength = 0;
    // Seen there too, before the library decodes the path in place.
    bool escapedNulInPath = false;
    // The current request's path as the metrics name it, once the handler has seen it.
    const char* pathLabel = nullptr;
};

// Open connections and when their current request began. The library's own time-out
// counts only silence, so a client that sends one byte now and then would keep its
// connection for ever; this clock closes any connection whose request takes too long.
class RequestClock {
public:
    OpenConnection* Started(int fd);
    void Completed(OpenConnection* connection);
    void Closed(OpenConnection* connection);
    // Shuts down the connections whose request began more than the limit ago; the
    // library then closes them as it would any connection its client ended.
    void CloseOverdue(std::chrono::steady_clock::duration limit);
    size_t OpenCount();

private:
    std::mutex mutex_;
    std::unordered_set<OpenConnection*> open_;
};

// What the request handler works with.
struct HttpRoutes {
    Directory* directory = nullptr;
    ListResponses lists;
    WebFace* web = nullptr;
    ServiceMetrics* metrics = nullptr;
    RequestClock* clock = nullptr;
    // Refused connections and malformed requests come as fast as anyone cares to send them.
    LogLimiter limiter{std::chrono::seconds(5)};
};

class HttpFront {
public:
    HttpFront() = default;
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    bool Start(const ServiceSettings& settings, Directory& directory, WebFace& web, ServiceMetrics& metrics,
               std::string* error);
    int Port() const;
    size_t OpenConnections() { return clock_.OpenCount(); }
    void Stop();

private:
    void WatchRequests(std::chrono::steady_clock::duration limit);

    MHD_Daemon* daemon_ = nullptr;
    HttpRoutes routes_;
    RequestClock clock_;
    std::thread watcher_;
    std::mutex stopMutex_;
    std::condition_variable stopWake_;
    bool stopping_ = false;
};
