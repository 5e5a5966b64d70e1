#include "platform/CommandLine.h"

#include <cstdio>
#include <memory>
#include <tuple>
#include <utility>

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
        {"open \"never closed", {"open", "never closed"}},
        {"trailing \"", {"trailing", ""}},
        {"'single quotes' stay", {"'single", "quotes'", "stay"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::SplitCommandLine(c.line), c.expected) << "line: [" << c.line << "]";
}

TEST(CommandLine, OnlyAHelpOrVersionOptionBeforeTheEndOfOptionsCounts)
{
    using platform::InfoRequest;
    const std::pair<Args, InfoRequest> cases[] = {
        {{}, InfoRequest::None},
        {{"-h"}, InfoRequest::Help},
        {{"-source", "/v/a.flv", "--version", "--help"}, InfoRequest::Version},
        {{"--", "--help"}, InfoRequest::None},
        {{"-source", "/v/--help.flv", "--helpful", "-help", "-v", "--Version"}, InfoRequest::None},
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(platform::FindInfoRequest(arguments), expected) << ::testing::PrintToString(arguments);
}

TEST(CommandLine, AddressesAreTheArgumentsThatAreNoOptions)
{
    // Arguments; the operands and the first unknown option they give. "--" ends the options.
    const std::tuple<Args, Args, std::string> cases[] = {
        {{"https://h/a.mp4", "-", "-x", "b", "--verbose"}, {"https://h/a.mp4", "-", "b"}, "-x"},
        {{"a", "--", "-y", "--"}, {"a", "-y", "--"}, ""},
    };
    for (const auto& [arguments, operands, unknown] : cases) {
        const platform::Operands split = platform::SplitOperands(arguments);
        EXPECT_EQ(split.operands, operands) << ::testing::PrintToString(arguments);
        EXPECT_EQ(split.unknownOption, unknown) << ::testing::PrintToString(arguments);
    }
}

// What the shell makes of the quoted text: it must be the text itself, one word.
std::string ThroughTheShell(const std::string& quoted)
{
    const std::string command = "printf '[%s]' " + quoted;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string out;
    char buffer[256];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        out.append(buffer, n);
    return out;
}

TEST(CommandLine, QuotedTextReachesTheShellWholeAndUnchanged)
{
    for (const std::string text :
         {"/home/u/.local/share/Tavolin Data", "a \"b\" c", "$HOME `id` $(id)", "back\\slash\\", "it's",
          "wow! it's here", "semi;colon & pipe | star * ~", ""})
        EXPECT_EQ(ThroughTheShell(platform::QuoteForShell(text)), "[" + text + "]") << text;
}

}  // namespace
