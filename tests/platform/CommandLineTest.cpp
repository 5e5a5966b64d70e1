#include "platform/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsAsTheConverterExpects)
{
    struct Case {
        const char* line;
        Args expected;
    };
    const Case cases[] = {
        {"   \t\r\n ", {}},
        {"  a  b\tc\r\nd  ", {"a", "b", "c", "d"}},
        {"ab\"c d\"e", {"abc de"}},
        {"a \"\" b", {"a", "", "b"}},
        {"\"\"\"\"", {""}},
        {"C:\\dir\\ \"a\\\"b", {"C:\\dir\\", "a\\b"}},
        {"\"tab\there\nand line\"", {"tab\there\nand line"}},
        {"open \"never closed", {"open", "never closed"}},
        {"trailing \"", {"trailing", ""}},
        {"'single quotes' stay", {"'single", "quotes'", "stay"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::SplitCommandLine(c.line), c.expected) << "line: [" << c.line << "]";
}

}  // namespace
