#pragma once
// The service's own metrics, named as Prometheus names things: quarv_directory_ and what is
// counted, counters in _total, times in seconds. Label values come from fixed sets, never
// from what a client sent, so that nobody can make the page grow without end.
#include "metrics.h"

struct ServiceMetrics {
    explicit ServiceMetrics(MetricsRegistry& registry);

    // The label for a request's path: the path itself when the service serves it, else "other".
    static const char* PathLabel(const char* url);

    CounterFamily& requests;            // path, status
    CounterFamily& publications;        // outcome
    CounterFamily& probes;              // result: answered, failed
    CounterFamily& refusedConnections;  // at the connection limit, in all or for one address
    CounterFamily& malformedRequests;   // refused as malformed, by the HTTP library or by us
    HistogramFamily& storeSeconds;      // operation
};
