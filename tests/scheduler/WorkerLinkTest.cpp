// The link between the download workers and the window: everything passes until the cut,
// nothing after it, and the cut waits for a call already under way.
#include "scheduler/WorkerLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "tasks/ReportQueue.h"

namespace {

using namespace std::chrono_literals;

class HeldPrompt : public FileErrorPrompt {
public:
    void ShowFileError(const std::string& message) override
    {
        m_shown = message;
        m_entered = true;
        while (!m_release)
            std::this_thread::sleep_for(1ms);
    }
    std::string m_shown;
    std::atomic<bool> m_entered{false};
    std::atomic<bool> m_release{false};
};

TEST(WorkerLink, PassesUntilTheCutWhichWaitsForACallUnderWay)
{
    ReportQueue mailbox;
    HeldPrompt prompt;
    WorkerLink link(mailbox, &prompt);
    link.PostTaskReport(7, REPORT_STATUS, STATUS_PENDING);
    link.PostTaskDetail(7, "why");
    link.PostConvertNext(1);
    EXPECT_EQ(mailbox.TakeAll().size(), 3u);

    std::thread worker([&] { link.ShowFileError("cannot create"); });
    while (!prompt.m_entered)
        std::this_thread::sleep_for(1ms);
    auto cut = std::async(std::launch::async, [&] { link.Cut(); });
    EXPECT_EQ(cut.wait_for(100ms), std::future_status::timeout) << "the prompt is still being shown";
    prompt.m_release = true;
    EXPECT_EQ(cut.wait_for(10s), std::future_status::ready);
    worker.join();
    EXPECT_EQ(prompt.m_shown, "cannot create");

    prompt.m_shown.clear();
    link.PostTaskReport(7, REPORT_STATUS, STATUS_STOPPED);
    link.PostConvertNext(1);
    link.ShowFileError("after the cut");
    EXPECT_EQ(mailbox.Size(), 0u);
    EXPECT_EQ(prompt.m_shown, "");
}

}  // namespace
