#include "metrics.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Help text escapes backslash and line feed; a label value escapes the double quote too.
std::string Escaped(const std::string& text, bool quote)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '"' && quote) {
            out += "\\\"";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string Number(double value)
{
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Inf" : "-Inf";
    }
    char text[32] = {};
    std::snprintf(text, sizeof text, "%.17g", value);
    // %.17g spells 0.1 as 0.10000000000000001; the shortest form that reads back the same
    // is what people expect in a bucket's le label.
    for (int digits = 1; digits < 17; ++digits) {
        char shorter[32] = {};
        std::snprintf(shorter, sizeof shorter, "%.*g", digits, value);
        if (std::strtod(shorter, nullptr) == value) {
            return shorter;
        }
    }
    return text;
}

}  // namespace

MetricFamily::MetricFamily(std::string name, std::string help, std::vector<std::string> labelNames)
    : name_(std::move(name)), help_(std::move(help)), labelNames_(std::move(labelNames))
{
}

void MetricFamily::WriteTo(std::string* page) const
{
    *page += "# HELP " + name_ + " " + Escaped(help_, false) + "\n";
    *page += "# TYPE " + name_ + " " + Type() + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    WriteSamples(page);
}

void MetricFamily::WriteSample(std::string* page, const std::string& suffix, const std::vector<std::string>& values,
                               const std::string& extraLabel, double value) const
{
    *page += name_ + suffix;
    std::string labels;
    for (size_t i = 0; i < labelNames_.size() && i < values.size(); ++i) {
        labels += (labels.empty() ? "" : ",") + labelNames_[i] + "=\"" + Escaped(values[i], true) + "\"";
    }
    if (!extraLabel.empty()) {
        labels += (labels.empty() ? "" : ",") + extraLabel;
    }
    if (!labels.empty()) {
        *page += "{" + labels + "}";
    }
    *page += " " + Number(value) + "\n";
}

void CounterFamily::Add(std::initializer_list<std::string> values, uint64_t amount)
{
    std::lock_guard<std::mutex> lock(mutex_);
    series_[std::vector<std::string>(values)] += amount;
}

void CounterFamily::WriteSamples(std::string* page) const
{
    for (const auto& series : series_) {
        WriteSample(page, "", series.first, "", static_cast<double>(series.second));
    }
}

GaugeFamily::GaugeFamily(std::string name, std::string help, std::function<double()> read)
    : MetricFamily(std::move(name), std::move(help), {}), read_(std::move(read))
{
}

void GaugeFamily::WriteSamples(std::string* page) const
{
    WriteSample(page, "", {}, "", read_());
}

HistogramFamily::HistogramFamily(std::string name, std::string help, std::vector<std::string> labelNames,
                                 std::vector<double> bounds)
    : MetricFamily(std::move(name), std::move(help), std::move(labelNames)), bounds_(std::move(bounds))
{
}

void HistogramFamily::Observe(std::initializer_list<std::string> values, double value)
{
    size_t bucket = 0;
    while (bucket < bounds_.size() && value > bounds_[bucket]) {
        ++bucket;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    Series& series = series_[std::vector<std::string>(values)];
    series.counts.resize(bounds_.size() + 1);
    ++series.counts[bucket];
    series.sum += value;
    ++series.count;
}

void HistogramFamily::WriteSamples(std::string* page) const
{
    for (const auto& entry : series_) {
        const Series& series = entry.second;
        uint64_t cumulative = 0;
        for (size_t i = 0; i <= bounds_.size(); ++i) {
            cumulative += series.counts[i];
            double bound = i < bounds_.size() ? bounds_[i] : INFINITY;
            WriteSample(page, "_bucket", entry.first, "le=\"" + Number(bound) + "\"", static_cast<double>(cumulative));
        }
        WriteSample(page, "_sum", entry.first, "", series.sum);
        WriteSample(page, "_count", entry.first, "", static_cast<double>(series.count));
    }
}

CounterFamily& MetricsRegistry::Counter(const std::string& name, const std::string& help,
                                        std::vector<std::string> labelNames)
{
    std::lock_guard<std::mutex> lock(mutex_);
    families_.emplace_back(new CounterFamily(name, help, std::move(labelNames)));
    return static_cast<CounterFamily&>(*families_.back());
}

void MetricsRegistry::Gauge(const std::string& name, const std::string& help, std::function<double()> read)
{
    std::lock_guard<std::mutex> lock(mutex_);
    families_.emplace_back(new GaugeFamily(name, help, std::move(read)));
}

HistogramFamily& MetricsRegistry::Histogram(const std::string& name, const std::string& help,
                                            std::vector<std::string> labelNames, std::vector<double> bounds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    families_.emplace_back(new HistogramFamily(name, help, std::move(labelNames), std::move(bounds)));
    return static_cast<HistogramFamily&>(*families_.back());
}

std::string MetricsRegistry::Exposition() const
{
    std::string page;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& family : families_) {
        family->WriteTo(&page);
    }
    return page;
}
