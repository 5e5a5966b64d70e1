#include "platform/CommandLine.h"

#include <cstdio>

#ifndef TAVOLIN_VERSION
#error "TAVOLIN_VERSION comes from the project's version in CMake"
#endif

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

InfoRequest FindInfoRequest(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--")
            break;
        if (argument == "--help" || argument == "-h")
            return InfoRequest::Help;
        if (argument == "--version")
            return InfoRequest::Version;
    }
    return InfoRequest::None;
}

bool AnswerInfoRequest(const std::vector<std::string>& arguments, std::string_view program,
                       std::string_view usage)
{
    switch (FindInfoRequest(arguments)) {
    case InfoRequest::Help:
        std::fwrite(usage.data(), 1, usage.size(), stdout);
        return true;
    case InfoRequest::Version:
        std::fputs(VersionText(program).c_str(), stdout);
        return true;
    case InfoRequest::None:
        break;
    }
    return false;
}

Operands SplitOperands(const std::vector<std::string>& arguments)
{
    Operands result;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument.front() != '-')
            result.operands.push_back(argument);
        else if (argument == "--")
            optionsEnded = true;
        else if (result.unknownOption.empty())
            result.unknownOption = argument;
    }
    return result;
}

const char* ProductVersion()
{
    return TAVOLIN_VERSION;
}

std::string VersionText(std::string_view program)
{
    return std::string(program) + " " + ProductVersion() + "\n";
}

std::string QuoteForShell(std::string_view text)
{
    // An interactive shell expands '!' even inside double quotes; single quotes keep it.
    if (text.find('!') != std::string_view::npos) {
        std::string quoted = "'";
        for (const char c : text)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + '\'';
    }
    std::string quoted = "\"";
    for (const char c : text) {
        // The characters that keep a meaning inside double quotes.
        if (c == '"' || c == '\\' || c == '$' || c == '`')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string MissingFolderAdvice(std::string_view program, std::string_view folder)
{
    return std::string(program) + ": the data folder " + QuoteForShell(folder) +
           " does not exist; installing makes it, or make it yourself with\n    mkdir -p " +
           QuoteForShell(folder) + "\n";
}

}  // namespace platform
