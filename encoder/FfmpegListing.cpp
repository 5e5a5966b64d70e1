#include "encoder/FfmpegListing.h"

#include <chrono>

#include "encoder/ChildProcess.h"
#include "encoder/TextCuts.h"
#include "platform/Text.h"

std::vector<std::string> ParseFfmpegListing(std::string_view text)
{
    std::vector<std::string> names;
    bool inList = false;
    while (!text.empty()) {
        std::string_view line = TakeLine(text);

        line = platform::TrimBlanks(line);
        if (line.empty())
            continue;
        if (!inList) {
            inList = line.starts_with("--");
            continue;
        }
        // " V....D libx264   description", "  E sdl,sdl2   description": the flags, then the names.
        auto flagsEnd = line.find_first_of(" \t");
        if (flagsEnd == std::string_view::npos)
            continue;
        const std::string_view rest = platform::TrimBlanks(line.substr(flagsEnd));
        std::string_view joined = rest.substr(0, rest.find_first_of(" \t"));
        while (!joined.empty())
            names.emplace_back(TakeUntil(joined, ','));
    }
    return names;
}

std::vector<std::string> QueryFfmpegListing(const std::string& ffmpegPath, const std::string& what,
                                            StopSignals& stops)
{
    ChildOptions options;
    options.captureOutput = true;
    options.timeLimit = std::chrono::seconds(30);
    ChildOutcome outcome = ChildProcess::Run({ffmpegPath, "-hide_banner", "-nostdin", what}, stops, options);
    if (!outcome.Succeeded())
        return {};
    return ParseFfmpegListing(outcome.output);
}
