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

#include <functional>
#include <mutex>
#include <string>
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
    // is made at most once a second and the same response goes to everyone who asks
    // within it, so that polling them costs the players' list requests next to nothing.
    struct Rendered {
        std::mutex mutex;
        MHD_Response* response = nullptr;
        Clock::time_point made;
    };
    enum MHD_Result AnswerRendered(MHD_Connection* connection, Rendered* rendered, bool page);

    const std::function<std::vector<HostSnapshot>()> listedHosts_;
    const std::function<ServiceHealth()> health_;
    MetricsRegistry& registry_;
    Rendered page_;
    Rendered json_;
};
