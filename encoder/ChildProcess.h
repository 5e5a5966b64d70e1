#pragma once
// Runs one program as a child that can never outlive the encoder: the kernel kills it
// when the encoder's process ends, however it ends (SIGKILL included), and a stop
// request that reaches the encoder is passed on to it.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/StopSignals.h"

struct ChildOutcome {
    enum class Kind { NotStarted, Exited, Signalled, TimedOut };
    Kind kind = Kind::NotStarted;
    int code = 0;            // exit status, or the signal that ended the child
    std::string startError;  // why it could not be started
    std::string output;      // its standard output, when captured

    bool Succeeded() const { return kind == Kind::Exited && code == 0; }
};

struct ChildOptions {
    bool captureOutput = false;  // standard output into ChildOutcome::output
    // The child's standard output, or error, handed over as it comes instead. Without
    // onError the child writes to our standard error.
    std::function<void(std::string_view)> onOutput;
    std::function<void(std::string_view)> onError;
    // Ended with SIGKILL when it runs longer; none waits as long as it takes.
    std::optional<std::chrono::milliseconds> timeLimit;
    // How long a child may take to finish after a forwarded stop before it is killed.
    std::chrono::milliseconds stopGrace{3000};
};

class ChildProcess {
public:
    // argv[0] is the program's path. Standard input is /dev/null. Returns once the
    // child has been reaped and its outputs are read.
    static ChildOutcome Run(const std::vector<std::string>& argv, StopSignals& stops,
                            const ChildOptions& options);
};
