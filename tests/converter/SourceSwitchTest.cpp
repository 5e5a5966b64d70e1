#include "converter/SourceSwitch.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(SourceSwitch, OnlyTheSwitchWithExactlyOnePath)
{
    const std::vector<std::pair<std::vector<std::string>, std::optional<std::string>>> rows = {
        {{"-SOURCE", " /v/keep blanks.flv "}, " /v/keep blanks.flv "},
        {{"-source"}, std::nullopt},
        {{"-source", "/v/a.flv", "/v/b.flv"}, std::nullopt},
        {{"/v/a.flv", "-source"}, std::nullopt},
        {{"--source", "/v/a.flv"}, std::nullopt},
    };
    for (const auto& [args, source] : rows)
        EXPECT_EQ(SourceFromArguments(args), source) << args.front();
}

}  // namespace
