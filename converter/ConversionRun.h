#pragma once
#include <chrono>
#include <memory>
#include <string>

#include "convert/ConvertJob.h"

class RunChannel;

// The run thread's routine: starts the encoder for `job`, shows how far it has got (or
// steps the bar once per poll while it cannot tell), and ends stopped (on the channel's stop event),
// completed (the encoder exited with status 0) or failed (it could not be started, ended any other way, or
// would have overwritten its source). It touches nothing but its arguments, so it may outlive the window.
void RunConversion(std::shared_ptr<RunChannel> channel, ConvertJob job, std::string encoderPath,
                   std::chrono::milliseconds pollInterval);

// How many run threads are inside RunConversion right now, across all windows.
int RunThreadsAlive();
