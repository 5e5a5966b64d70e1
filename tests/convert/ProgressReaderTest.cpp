// The encoder's progress channel as the programs read it: the lines, and the pace at
// which figures reach a run's observer.

#include "convert/ProgressReader.h"

#include <gtest/gtest.h>

#include "convert/EncoderRun.h"

namespace {

using namespace std::chrono_literals;
using Kind = ChannelLine::Kind;

TEST(ChannelLine, EachLineReadsAsWhatItTells)
{
    const struct {
        std::string_view line;
        ChannelLine parsed;
    } rows[] = {
        {"progress 42 31 12.5", {Kind::Progress, {42, 31}, {}}},
        {"progress - - 3.0", {Kind::Progress, {}, {}}},
        {"progress 64 - 38.4 later fields", {Kind::Progress, {64, std::nullopt}, {}}},
        {"progress 140 0 1.0", {Kind::Progress, {100, 0}, {}}},
        {"progress x 1 1.0", {}},
        {"done", {Kind::Done, {}, {}}},
        {"stopped", {Kind::Stopped, {}, {}}},
        {"failed  Unknown encoder 'libx' here", {Kind::Failed, {}, "Unknown encoder 'libx' here"}},
        {"", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseChannelLine(row.line), row.parsed) << row.line;
}

struct Delivered : EncoderRunObserver {
    void RunStarted() override {}
    void RunPolled() override {}
    void RunProgress(const EncoderProgress& progress) override
    {
        log += log.empty() ? "" : ", ";
        log += progress.percent ? std::to_string(*progress.percent) + "%" : "?";
        if (progress.secondsLeft)
            log += " " + std::to_string(*progress.secondsLeft) + "s";
    }
    void RunEnded(const EncoderRunOutcome&) override {}
    std::string log;
};

// Lines in pieces of any size, at most one report per quarter second, the newest of
// those held back winning, repeats left out, and the last one never lost.
TEST(ProgressReader, FiguresArrivePacedAndTheLastAlways)
{
    Delivered observer;
    ProgressReader reader(observer);
    const auto t0 = ProgressReader::Clock::now();
    const struct {
        std::chrono::milliseconds at;
        std::string_view bytes;  // none: only the time passes
        std::string_view delivered;
    } steps[] = {
        {0ms, "progress 0 - 0.0\n", "0%"},
        {100ms, "progress 10 9 1.0\nprog", "0%"},
        {200ms, "ress 20 8 2.0\n", "0%"},
        {249ms, "", "0%"},
        {250ms, "", "0%, 20% 8s"},
        {300ms, "progress 20 8 2.1\n", "0%, 20% 8s"},
        {600ms, "progress 30 7 3.0\n", "0%, 20% 8s, 30% 7s"},
        {700ms, "progress 40 6 4.0\nfailed disk full\nfailed later\n", "0%, 20% 8s, 30% 7s"},
    };
    for (const auto& step : steps) {
        if (step.bytes.empty())
            reader.Tick(t0 + step.at);
        else
            reader.Take(step.bytes, t0 + step.at);
        EXPECT_EQ(observer.log, step.delivered) << step.at.count() << " ms";
    }
    EXPECT_EQ(reader.NextDue(), t0 + 850ms);
    reader.Flush();
    EXPECT_EQ(observer.log, "0%, 20% 8s, 30% 7s, 40% 6s");
    EXPECT_EQ(reader.FailedReason(), "disk full");
}

}  // namespace
