// Background work ends with exactly one result, also when the work throws.
#include "common/BackgroundJob.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tarvex {
namespace {

using TJob = TBackgroundJob<int, std::string>;

/// The work's end: 0 a result, 1 an error, 2 something thrown that is no error.
std::string End(int how) {
    if (how == 1) throw std::out_of_range("no step");
    if (how == 2) throw 42;
    return "done";
}

class BackgroundJobEnding : public ::testing::TestWithParam<std::pair<int, std::string>> {};

TEST_P(BackgroundJobEnding, GivesExactlyOneResult) {
    std::atomic<int> wakes = 0;
    TJob job(
        [how = GetParam().first](const TJob::TReport& report, const std::atomic<bool>&) {
            report(7);
            return End(how);
        },
        [](const std::string& what) { return "failed: " + what; }, [&] { ++wakes; });
    job.Stop();
    EXPECT_EQ(job.TakeProgress(), std::optional(7));
    EXPECT_EQ(job.TakeResult(), std::optional(GetParam().second));
    EXPECT_EQ(job.TakeResult(), std::nullopt);
    EXPECT_EQ(wakes, 2); // the progress and the end
}

INSTANTIATE_TEST_SUITE_P(Endings, BackgroundJobEnding,
                         ::testing::Values(std::pair(0, "done"), std::pair(1, "failed: no step"),
                                           std::pair(2, "failed: an unknown error")));

} // namespace
} // namespace tarvex
