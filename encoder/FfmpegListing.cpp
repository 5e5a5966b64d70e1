#include "encoder/EncoderList.h"

#include <chrono>

#include "encoder/ChildProcess.h"

std::vector<std::string> ParseEncoderList(std::string_view text)
{
    std::vector<std::string> names;
    bool inList = false;
    while (!text.empty()) {
        auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);

        auto first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            continue;
        line.remove_prefix(first);
        if (!inList) {
            inList = line.starts_with("------");
            continue;
        }
        // " V....D libx264   description": the flags, then the name.
        auto flagsEnd = line.find_first_of(" \t");
        if (flagsEnd == std::string_view::npos)
            continue;
        std::string_view rest = line.substr(flagsEnd);
        auto nameStart = rest.find_first_not_of(" \t");
        if (nameStart == std::string_view::npos)
            continue;
        rest.remove_prefix(nameStart);
        names.emplace_back(rest.substr(0, rest.find_first_of(" \t\r")));
    }
    return names;
}

std::vector<std::string> QueryEncoders(const std::string& ffmpegPath, StopSignals& stops)
{
    ChildOptions options;
    options.captureOutput = true;
    options.timeLimit = std::chrono::seconds(30);
    ChildOutcome outcome =
        ChildProcess::Run({ffmpegPath, "-hide_banner", "-nostdin", "-encoders"}, stops, options);
    if (!outcome.Succeeded())
        return {};
    return ParseEncoderList(outcome.output);
}
