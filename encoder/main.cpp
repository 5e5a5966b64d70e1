// Ostrand: the encoder Tavolin and Pellux start, one conversion per run.
#include <iostream>
#include <variant>
#include <vector>

#include "encoder/Conversion.h"
#include "encoder/EncoderOptions.h"
#include "encoder/ProfileAvailability.h"
#include "encoder/ProgressChannel.h"
#include "encoder/StopSignals.h"

int main(int argc, char** argv)
{
    // Taken before anything starts, so no stop request can slip past a child.
    StopSignals stops;
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    switch (RequestOf(args)) {
    case EncoderRequest::Help:
        std::cout << EncoderHelp();
        return kExitConverted;
    case EncoderRequest::Version:
        std::cout << "ostrand " << OSTRAND_VERSION << "\n";
        return kExitConverted;
    case EncoderRequest::ListProfiles:
        return ListProfiles(stops, std::cout, std::cerr);
    case EncoderRequest::Convert:
        break;
    }

    auto parsed = ParseEncoderOptions(args);
    ProgressChannel channel;
    std::string why;
    if (auto* error = std::get_if<OptionError>(&parsed)) {
        std::cerr << "ostrand: " << error->message << "\n" << EncoderUsage();
        if (error->progressFd && channel.Attach(*error->progressFd, &why))
            channel.Failed(error->message);
        return kExitBadArguments;
    }
    const EncoderOptions& options = std::get<EncoderOptions>(parsed);
    if (options.progressFd && !channel.Attach(*options.progressFd, &why)) {
        std::cerr << "ostrand: bad value for -progress-fd: " << why << "\n";
        return kExitBadArguments;
    }
    return RunConversion(options, stops, channel, std::cerr);
}
