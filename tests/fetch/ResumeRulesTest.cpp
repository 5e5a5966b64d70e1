#include "fetch/ResumeRules.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(ResumeRules, WhereARequestStartsAndWhichAnswersContinueTheFile)
{
    // partial length, known size, size from the answer -> first byte asked for
    const std::tuple<std::int64_t, std::int64_t, bool, std::optional<std::int64_t>> offsets[] = {
        {-1, 100, false, std::nullopt},  // no file: the design's start
        {0, 100, true, std::nullopt},    // an empty file has nothing to continue
        {40, 100, false, 40},
        {100, 100, false, 99},            // complete on disk: its last byte proves the version
        {101, 100, false, std::nullopt},  // longer than the download: never a prefix of it
        {40, 0, false, std::nullopt},     // no size known: the design's start over
        {40, 0, true, 39},
    };
    for (const auto& [partial, known, fromAnswer, offset] : offsets)
        EXPECT_EQ(ResumeOffset(partial, known, fromAnswer), offset) << partial << " of " << known;

    // status, Content-Range, first byte asked, known size -> the size that continues
    using Range = std::optional<std::string_view>;
    const std::tuple<int, Range, std::int64_t, std::int64_t, std::optional<std::int64_t>> answers[] = {
        {206, "bytes 40-99/100", 40, 100, 100},
        {206, "bytes 40-99/100", 40, 0, 100},             // the total becomes the size
        {200, "bytes 40-99/100", 40, 100, std::nullopt},  // not a part: the whole body
        {206, std::nullopt, 40, 100, std::nullopt},
        {206, "bytes 0-99/100", 40, 100, std::nullopt},    // from elsewhere: would mix the file
        {206, "bytes 40-98/100", 40, 100, std::nullopt},   // not to the end
        {206, "bytes 40-119/120", 40, 100, std::nullopt},  // another version
        {206, "bytes 40-99/*", 40, 0, std::nullopt},
        {206, "bytes 99-40/100", 99, 100, std::nullopt},
    };
    for (const auto& [status, range, from, known, size] : answers)
        EXPECT_EQ(ContinuedSize(status, range, from, known), size) << status << " " << range.value_or("none");
}

}  // namespace
