// Background work: exactly one result however the work ends, taken on the owner's
// thread, and a cancel the work sees.
#include "common/BackgroundJob.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

namespace tarvex {
namespace {

using TJob = TBackgroundJob<int, std::string>;

struct TEnding {
    const char* Name;
    TJob::TWork Work;
    std::string Result;
};

void PrintTo(const TEnding& e, std::ostream* os) {
    *os << e.Name;
}

class BackgroundJobEnding : public ::testing::TestWithParam<TEnding> {};

TEST_P(BackgroundJobEnding, GivesExactlyOneResult) {
    std::atomic<int> wakes = 0;
    TJob job(
        GetParam().Work, [](const std::string& what) { return "failed: " + what; },
        [&] { ++wakes; });
    job.Stop();
    EXPECT_EQ(job.TakeProgress(), std::optional(7));
    EXPECT_EQ(job.TakeResult(), std::optional(GetParam().Result));
    EXPECT_EQ(job.TakeResult(), std::nullopt);
    EXPECT_EQ(wakes, 2); // the progress and the end
}

INSTANTIATE_TEST_SUITE_P(
    Endings, BackgroundJobEnding,
    ::testing::Values(
        TEnding{"returns",
                [](const TJob::TReport& report, const std::atomic<bool>&) {
                    report(7);
                    return std::string("done");
                },
                "done"},
        TEnding{"throws_an_error",
                [](const TJob::TReport& report, const std::atomic<bool>&) -> std::string {
                    report(7);
                    return std::vector<std::string>{}.at(0);
                },
                "failed: vector::_M_range_check: __n (which is 0) >= this->size() (which is 0)"},
        TEnding{"throws_something_else",
                [](const TJob::TReport& report, const std::atomic<bool>&) -> std::string {
                    report(7);
                    throw 42;
                },
                "failed: an unknown error"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(BackgroundJob, StopCancelsTheWorkAndWaitsForIt) {
    TJob job(
        [](const TJob::TReport&, const std::atomic<bool>& cancel) {
            while (!cancel) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return std::string("cancelled");
        },
        [](const std::string& what) { return what; }, {});
    job.Stop();
    EXPECT_TRUE(job.Cancelled());
    EXPECT_EQ(job.TakeResult(), std::optional<std::string>("cancelled"));
}

} // namespace
} // namespace tarvex
