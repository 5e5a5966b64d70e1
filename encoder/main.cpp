// Ostrand: the encoder Tavolin and Pellux start, one conversion per run.
#include <iostream>
#include <variant>
#include <vector>

#include "encoder/Conversion.h"
#include "encoder/EncoderOptions.h"
#include "encoder/StopSignals.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    auto parsed = ParseEncoderOptions(args);
    if (auto* error = std::get_if<OptionError>(&parsed)) {
        std::cerr << "ostrand: " << error->message << "\n" << EncoderUsage();
        return kExitBadArguments;
    }
    // Taken before anything starts, so no stop request can slip past a child.
    StopSignals stops;
    return RunConversion(std::get<EncoderOptions>(parsed), stops, std::cerr);
}
