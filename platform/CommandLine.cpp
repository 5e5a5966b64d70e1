#include "platform/CommandLine.h"

namespace platform {

namespace {

bool IsSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line)
{
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;  // distinguishes an empty "" argument from no argument
    bool inQuotes = false;
    for (char c : line) {
        if (inQuotes) {
            if (c == '"')
                inQuotes = false;
            else
                current += c;
        } else if (c == '"') {
            inQuotes = true;
            inArgument = true;
        } else if (IsSeparator(c)) {
            if (inArgument) {
                args.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
        } else {
            current += c;
            inArgument = true;
        }
    }
    // An unclosed quote still yields what it collected.
    if (inArgument)
        args.push_back(std::move(current));
    return args;
}

}  // namespace platform
