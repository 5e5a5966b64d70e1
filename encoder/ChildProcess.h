#pragma once
// Runs one program as a child that can never outlive the encoder: the kernel kills it
// when the encoder's process ends, however it ends (SIGKILL included), and a stop
// request that reaches the encoder is passed on to it.

#include <chrono>
#include <optional>
#include <string>
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
    bool captureOutput = false;
    // Ended with SIGKILL when it runs longer; none waits as long as it takes.
    std::optional<std::chrono::milliseconds> timeLimit;
    // How long a child may take to finish after a forwarded stop before it is killed.
    std::chrono::milliseconds stopGrace{3000};
};

class ChildProcess {
public:
    // argv[0] is the program's path. Standard input is /dev/null; standard error is
    // shared with the encoder. Returns once the child has been reaped.
    static ChildOutcome Run(const std::vector<std::string>& argv, StopSignals& stops,
                            const ChildOptions& options);
};
