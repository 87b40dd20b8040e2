#pragma once
// The directory's face for people and their tools, beside the wizard's two cgi paths:
//   GET /              the page of live games       GET /style.css     its stylesheet
//   GET /servers.json  every listed host as JSON    GET /healthz       200 or 503, one line
//   GET /metrics       Prometheus text format
// Each answers HEAD as well and refuses other methods with 405.
#include "host_snapshot.h"
#include "log_limiter.h"
#include "metrics.h"

#include <microhttpd.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ServiceHealth {
    bool answersLists;  // 503 when false
    std::string text;   // the one line /healthz answers
};

class WebFace {
public:
    WebFace(std::function<std::vector<HostSnapshot>()> listedHosts, std::function<ServiceHealth()> health,
            MetricsRegistry& registry);
    ~WebFace();
    WebFace(const WebFace&) = delete;
    WebFace& operator=(const WebFace&) = delete;

    // Whether the path is one of the above.
    static bool Serves(const char* url);
    // A GET or HEAD of one of them.
    enum MHD_Result Answer(MHD_Connection* connection, const char* url);
    // Any other method.
    static enum MHD_Result RefuseMethod(MHD_Connection* connection);

private:
    // The page and the JSON hold every listed host: with thousands, each is megabytes. Each
    // is made on a thread of its own, below the priority of the threads that serve
    // players, about once a second while anyone asks for it, compressed once for those who
    // take gzip; the threads that serve requests only queue what is there and never wait
    // for it, unless nobody has asked for it for a while.
    struct Document {
        bool page;
        MHD_Response* plain = nullptr;
        MHD_Response* gzipped = nullptr;
        Clock::time_point made{};  // when the hosts it shows were read
        Clock::time_point asked{};
        Clock::time_point askedGzip{};
        uint64_t renders = 0;
    };
    enum MHD_Result AnswerRendered(MHD_Connection* connection, Document* document);
    // Whether the document is asked for and older than the interval; if it is only asked
    // for, *next becomes the earlier of itself and the time it will be due.
    static bool Due(const Document& document, Clock::time_point now, Clock::time_point* next);
    static void Make(Document* document, const std::vector<HostSnapshot>& hosts, Clock::time_point read);
    void Render();

    const std::function<std::vector<HostSnapshot>()> listedHosts_;
    const std::function<ServiceHealth()> health_;
    MetricsRegistry& registry_;

    std::mutex mutex_;
    std::condition_variable wake_;      // the renderer: asked for, or stopping
    std::condition_variable rendered_;  // requests waiting for a fresh document
    Document page_{true};
    Document json_{false};
    bool stopping_ = false;
    std::thread renderer_;
};
