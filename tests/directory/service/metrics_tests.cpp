// The metrics page as Prometheus reads it, and the log limiter with a clock the test sets.
#include "log_limiter.h"
#include "metrics.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

TEST(Metrics, WritesTheTextFormat)
{
    MetricsRegistry registry;
    CounterFamily& requests = registry.Counter("test_requests_total", "Requests.\nBy path \\ status.", {"path", "status"});
    requests.Add({"/a\"b\\c\nd", "200"});
    requests.Add({"/", "404"}, 2);
    requests.Add({"/", "404"});
    registry.Counter("test_idle_total", "Shows at zero.", {"outcome"}).Add({"nothing"}, 0);
    registry.Gauge("test_open", "Open now.", [] { return 7.0; });
    HistogramFamily& times = registry.Histogram("test_operation_seconds", "Time.", {"operation"}, {0.001, 0.1, 2.5});
    times.Observe({"insert"}, 0.0005);
    times.Observe({"insert"}, 0.1);
    times.Observe({"insert"}, 3);

    EXPECT_EQ(registry.Exposition(),
              "# HELP test_requests_total Requests.\\nBy path \\\\ status.\n"
              "# TYPE test_requests_total counter\n"
              "test_requests_total{path=\"/\",status=\"404\"} 3\n"
              "test_requests_total{path=\"/a\\\"b\\\\c\\nd\",status=\"200\"} 1\n"
              "# HELP test_idle_total Shows at zero.\n"
              "# TYPE test_idle_total counter\n"
              "test_idle_total{outcome=\"nothing\"} 0\n"
              "# HELP test_open Open now.\n"
              "# TYPE test_open gauge\n"
              "test_open 7\n"
              "# HELP test_operation_seconds Time.\n"
              "# TYPE test_operation_seconds histogram\n"
              "test_operation_seconds_bucket{operation=\"insert\",le=\"0.001\"} 1\n"
              "test_operation_seconds_bucket{operation=\"insert\",le=\"0.1\"} 2\n"
              "test_operation_seconds_bucket{operation=\"insert\",le=\"2.5\"} 2\n"
              "test_operation_seconds_bucket{operation=\"insert\",le=\"+Inf\"} 3\n"
              "test_operation_seconds_sum{operation=\"insert\"} 3.1005\n"
              "test_operation_seconds_count{operation=\"insert\"} 3\n");
}

class LogLimiterTest : public ::testing::Test {
protected:
    Clock::time_point At(double seconds)
    {
        return start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }

    std::vector<std::string> lines_;
    LogLimiter limiter_{std::chrono::seconds(5), [this](const std::string& line) { lines_.push_back(line); }};
    Clock::time_point start_ = Clock::now();
};

TEST_F(LogLimiterTest, LogsEachKindOncePerIntervalWithTheCountLeftOut)
{
    limiter_.Event("limit", "limit 1", At(0));
    for (int i = 2; i <= 1000; ++i) {
        limiter_.Event("limit", "limit " + std::to_string(i), At(i * 0.004));
    }
    limiter_.Event("malformed", "malformed 1", At(1));
    EXPECT_EQ(lines_, (std::vector<std::string>{"limit 1", "malformed 1"})) << "another kind is not held back";

    limiter_.Event("limit", "limit 1001", At(6));
    ASSERT_EQ(lines_.size(), 3u);
    EXPECT_EQ(lines_[2], "limit 1001 (999 more like this left out in the last 6 s)");
    limiter_.Event("limit", "limit 1002", At(11));
    EXPECT_EQ(lines_.back(), "limit 1002") << "nothing was left out since the line before";
}

TEST_F(LogLimiterTest, FlushTellsWhatABurstLeftOutOnceItsIntervalHasPassed)
{
    limiter_.Event("limit", "first", At(0));
    limiter_.Event("limit", "second", At(1));
    limiter_.Event("limit", "third", At(2));
    limiter_.Flush(At(4.9));
    EXPECT_EQ(lines_.size(), 1u) << "the interval has not passed";
    limiter_.Flush(At(5));
    ASSERT_EQ(lines_.size(), 2u);
    EXPECT_EQ(lines_[1], "third (1 more like this left out in the last 5 s)");
    limiter_.Flush(At(20));
    EXPECT_EQ(lines_.size(), 2u) << "nothing left to tell";
    limiter_.Event("limit", "fourth", At(9));
    EXPECT_EQ(lines_.size(), 2u) << "the flushed line counts as the kind's last line";
}

}  // namespace
