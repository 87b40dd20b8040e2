#pragma once
// A small metrics registry and its Prometheus text exposition (format 0.0.4): counters,
// gauges read when the page is scraped, and histograms with fixed buckets. Families are
// registered once at start-up; their series are made on first use, keyed by label values.
// Thread-safe.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class MetricFamily {
public:
    MetricFamily(std::string name, std::string help, std::vector<std::string> labelNames);
    virtual ~MetricFamily() = default;
    MetricFamily(const MetricFamily&) = delete;
    MetricFamily& operator=(const MetricFamily&) = delete;

    void WriteTo(std::string* page) const;

protected:
    virtual const char* Type() const = 0;
    virtual void WriteSamples(std::string* page) const = 0;
    // name{label="value",...,extra} value
    void WriteSample(std::string* page, const std::string& suffix, const std::vector<std::string>& values,
                     const std::string& extraLabel, double value) const;

    const std::string name_;
    const std::string help_;
    const std::vector<std::string> labelNames_;
    mutable std::mutex mutex_;
};

class CounterFamily : public MetricFamily {
public:
    using MetricFamily::MetricFamily;
    // Values in the order of the family's label names. Adding 0 makes a series that shows
    // before its first event, so that a rate over it starts from zero.
    void Add(std::initializer_list<std::string> values, uint64_t amount = 1);

private:
    const char* Type() const override { return "counter"; }
    void WriteSamples(std::string* page) const override;
    std::map<std::vector<std::string>, uint64_t> series_;
};

class GaugeFamily : public MetricFamily {
public:
    GaugeFamily(std::string name, std::string help, std::function<double()> read);

private:
    const char* Type() const override { return "gauge"; }
    void WriteSamples(std::string* page) const override;
    const std::function<double()> read_;
};

class HistogramFamily : public MetricFamily {
public:
    // Upper bounds in increasing order; the +Inf bucket is implied.
    HistogramFamily(std::string name, std::string help, std::vector<std::string> labelNames,
                    std::vector<double> bounds);
    void Observe(std::initializer_list<std::string> values, double value);

private:
    struct Series {
        std::vector<uint64_t> counts;  // per bucket, not yet cumulative; the last is +Inf
        double sum = 0;
        uint64_t count = 0;
    };
    const char* Type() const override { return "histogram"; }
    void WriteSamples(std::string* page) const override;
    const std::vector<double> bounds_;
    std::map<std::vector<std::string>, Series> series_;
};

class MetricsRegistry {
public:
    CounterFamily& Counter(const std::string& name, const std::string& help, std::vector<std::string> labelNames = {});
    void Gauge(const std::string& name, const std::string& help, std::function<double()> read);
    HistogramFamily& Histogram(const std::string& name, const std::string& help, std::vector<std::string> labelNames,
                               std::vector<double> bounds);

    // The whole page, families in the order they were registered.
    std::string Exposition() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<MetricFamily>> families_;
};
