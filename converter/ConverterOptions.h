#pragma once
#include <chrono>
#include <string>

// What the window needs from outside: where the encoder is and how the run paces
// itself. The program sets the encoder beside its own executable; tests put a stand-in
// there and shorten the waits.
struct ConverterOptions {
    std::string encoderPath;
    // How often the run looks at the encoder and steps the bar.
    std::chrono::milliseconds pollInterval{1000};
    // How long a start or the Exit button waits for the previous run's thread.
    std::chrono::milliseconds threadWait{3000};
};
