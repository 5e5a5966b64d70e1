#include "fetch/ReportPacer.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tasks/TaskReport.h"

namespace {

using namespace std::chrono_literals;

TEST(ReportPacer, TellsChangesAtMostOnceAnIntervalAndTheLastBeforeAnyOtherReport)
{
    constexpr std::int32_t PR = REPORT_PROGRESS, EL = REPORT_ELAPSED, ST = REPORT_STATUS, SP = REPORT_SPEED;
    std::string posted;
    ReportPacer pacer(50ms, [&](std::int32_t code, std::int64_t value) {
        posted += std::to_string(code) + "=" + std::to_string(value) + " ";
    });
    const ReportPacer::Clock::time_point start{};
    // milliseconds, code, value (-1: no offer, a wait on the network) -> what went out
    const std::tuple<int, std::int32_t, std::int64_t, const char*> steps[] = {
        {0, PR, 0, "6=0 "},  // the first of a code goes at once
        {0, EL, 0, "3=0 "},
        {10, PR, 0, ""},    // unchanged
        {20, PR, 100, ""},  // held: too soon
        {30, EL, 30, ""},
        {40, PR, 200, ""},            // the newest held wins
        {49, PR, -1, ""},             // not due yet
        {50, PR, -1, "6=200 3=30 "},  // due while waiting: everything held goes, in order
        {60, EL, 60, ""},
        {70, PR, 300, ""},
        {80, ST, 4, "3=60 6=300 2=4 "},  // a status follows the last values
        {90, PR, 400, ""},
        {140, PR, 500, "6=500 "},  // due: sent, and the held value is dropped
        {150, SP, 7, "7=7 "},
    };
    for (const auto& [ms, code, value, out] : steps) {
        posted.clear();
        const auto now = start + std::chrono::milliseconds(ms);
        value < 0 ? pacer.PostDue(now) : pacer.Offer(code, value, now);
        EXPECT_EQ(posted, out) << ms << " ms";
    }
}

}  // namespace
