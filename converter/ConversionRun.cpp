#include "converter/ConversionRun.h"

#include <atomic>
#include <optional>
#include <utility>

#include "convert/EncoderRun.h"
#include "converter/RunChannel.h"
#include "converter/RunView.h"

namespace {

std::atomic<int> g_nRunThreads{0};

class AliveCount {
public:
    AliveCount() { ++g_nRunThreads; }
    ~AliveCount() { --g_nRunThreads; }
    AliveCount(const AliveCount&) = delete;
    AliveCount& operator=(const AliveCount&) = delete;
};

// Turns the run's steps into changes of the window: the encoder's own percentage once
// it tells one, else one bar step per poll.
class ChannelObserver : public EncoderRunObserver {
public:
    ChannelObserver(RunChannel& channel, std::string target) : m_channel(channel), m_target(std::move(target))
    {
    }

    void RunStarted() override
    {
        m_channel.Post([target = m_target](RunView& view) { view.RunStarted(target); });
    }
    void RunPolled() override
    {
        if (m_percent)
            m_channel.Post([target = m_target, percent = *m_percent](RunView& view) {
                view.RunProgress(target, percent);
            });
        else
            m_channel.Post([target = m_target](RunView& view) { view.RunStep(target); });
    }
    void RunProgress(const EncoderProgress& progress) override
    {
        if (!progress.percent)
            return;
        m_percent = progress.percent;
        m_channel.Post(
            [target = m_target, percent = *m_percent](RunView& view) { view.RunProgress(target, percent); });
    }
    void RunEnded(const EncoderRunOutcome& outcome) override
    {
        switch (outcome.kind) {
        case EncoderRunOutcome::Kind::Stopped:
            m_channel.Post([](RunView& view) { view.RunStopped(); });
            break;
        case EncoderRunOutcome::Kind::Completed:
            m_channel.Post([target = m_target](RunView& view) { view.RunCompleted(target); });
            break;
        case EncoderRunOutcome::Kind::Failed:
            m_channel.Post(
                [target = m_target, why = outcome.why](RunView& view) { view.RunFailed(target, why); });
            break;
        }
    }

private:
    RunChannel& m_channel;
    const std::string m_target;
    std::optional<int> m_percent;
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
    ChannelObserver observer(*channel, job.m_csTargetFile);
    RunEncoder(job, encoderPath, channel->StopEvent(), pollInterval, observer);
}
