#include "converter/ConversionRun.h"

#include <atomic>
#include <utility>

#include "convert/EncoderCommandLine.h"
#include "converter/RunChannel.h"
#include "converter/RunView.h"
#include "platform/Process.h"

namespace {

std::atomic<int> g_nRunThreads{0};

class AliveCount {
public:
    AliveCount() { ++g_nRunThreads; }
    ~AliveCount() { --g_nRunThreads; }
    AliveCount(const AliveCount&) = delete;
    AliveCount& operator=(const AliveCount&) = delete;
};

}  // namespace

int RunThreadsAlive()
{
    return g_nRunThreads.load();
}

void RunConversion(std::shared_ptr<RunChannel> channel, ConvertJob job, std::string encoderPath,
                   std::chrono::milliseconds pollInterval)
{
    const AliveCount alive;
    const std::string target = job.m_csTargetFile;
    platform::AutoResetEvent& stop = channel->StopEvent();
    channel->Post([target](RunView& view) { view.RunStarted(target); });

    platform::Process encoder;
    const bool started = encoder.Start(BuildEncoderArguments(job, encoderPath));
    bool stopped = false;
    while (started) {
        channel->Post([target](RunView& view) { view.RunStep(target); });
        if (stop.TryWait()) {
            stopped = true;
            break;
        }
        if (encoder.HasEnded())
            break;
        // Waiting on the stop event rather than sleeping lets a stop act at once.
        if (stop.Wait(pollInterval)) {
            stopped = true;
            break;
        }
    }

    if (stopped) {
        // The partly written target stays; a restart overwrites it.
        encoder.Kill();
        channel->Post([](RunView& view) { view.RunStopped(); });
        return;
    }
    const bool succeeded = started && encoder.Exit() && encoder.Exit()->Succeeded();
    if (succeeded)
        channel->Post([target](RunView& view) { view.RunCompleted(target); });
    else
        channel->Post([target](RunView& view) { view.RunFailed(target); });
}
