#include "service_metrics.h"

#include <cstring>

namespace {

const char* const SERVED_PATHS[] = {
    "/", "/style.css", "/servers.json", "/healthz", "/metrics", "/cgi-bin/quarvcgiread.exe", "/cgi-bin/quarvcgi.exe",
};

const char* const PUBLICATION_OUTCOMES[] = {
    "added", "refreshed", "invalid", "address_full", "directory_full", "rate_limited", "no_length", "wrong_length",
    "not_ipv4", "store_unavailable",
};

}  // namespace

ServiceMetrics::ServiceMetrics(MetricsRegistry& registry)
    : requests(registry.Counter("quarv_directory_requests_total", "HTTP requests answered, by path and status code.",
                                {"path", "status"})),
      publications(registry.Counter("quarv_directory_publications_total",
                                    "Publications by outcome: added, refreshed, or the reason for refusing them.",
                                    {"outcome"})),
      probes(registry.Counter("quarv_directory_probes_total",
                              "Probes of published hosts, by result: answered as a lobby host, or failed.",
                              {"result"})),
      refusedConnections(registry.Counter("quarv_directory_refused_connections_total",
                                          "Connections closed at once because the service, or the address they "
                                          "came from, held as many as it may.")),
      malformedRequests(registry.Counter("quarv_directory_malformed_requests_total",
                                         "Requests refused as malformed or too large, or with a body whose end is in doubt.")),
      storeSeconds(registry.Histogram("quarv_directory_store_operation_duration_seconds",
                                      "Time taken by operations on the store, by operation.", {"operation"},
                                      {0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                       0.5, 1, 2.5}))
{
    for (const char* outcome : PUBLICATION_OUTCOMES) {
        publications.Add({outcome}, 0);
    }
    probes.Add({"answered"}, 0);
    probes.Add({"failed"}, 0);
    refusedConnections.Add({}, 0);
    malformedRequests.Add({}, 0);
}

const char* ServiceMetrics::PathLabel(const char* url)
{
    for (const char* path : SERVED_PATHS) {
        if (std::strcmp(url, path) == 0) {
            return path;
        }
    }
    return "other";
}
