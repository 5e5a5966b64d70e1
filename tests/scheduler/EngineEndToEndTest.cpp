// The engine from a watch-page address to a converted file: the real download worker
// against the local video service, and the real encoder with its progress.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "convert/ProfileCatalogue.h"
#include "fetch/FileErrorPrompt.h"
#include "fetch/ServiceConfig.h"
#include "platform/WorkerThread.h"
#include "scheduler/TaskScheduler.h"
#include "support/Files.h"
#include "support/RecordingRowView.h"
#include "support/TempFolder.h"
#include "support/VideoService.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class EngineEndToEndTest : public ::testing::Test, public FileErrorPrompt {
protected:
    void ShowFileError(const std::string&) override {}
    static void SetUpTestSuite()
    {
        s_clips = std::make_unique<TempFolder>();
        // A short clip as a direct address serves them today: VP8 video with Vorbis sound.
        const std::string command =
            "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc=size=176x144:rate=15 "
            "-f lavfi -i sine=frequency=440:sample_rate=22050 -t 2 -c:v libvpx -c:a libvorbis "
            "-shortest '" +
            s_clips->Path("clip.webm") + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() { s_clips.reset(); }

    void SetUp() override
    {
        m_service =
            std::make_unique<VideoService>(std::vector<std::string>{"--video", s_clips->Path("clip.webm")});
        ServiceConfig config;
        config.serviceHost = m_service->Host();
        config.cdnDomain = "cdn.test";
        ServiceConfig::Install(config);
        m_folder = m_service->Folder();

        TaskScheduler::Settings settings;
        settings.storePath = (fs::path(m_folder) / "tasks.ini").string();
        settings.encoderPath = std::string(TAVOLIN_BIN_DIR) + "/ostrand";
        settings.encoderPoll = 50ms;
        m_scheduler = std::make_unique<TaskScheduler>(m_rows, m_queue, *this, settings);
    }
    void TearDown() override
    {
        m_scheduler.reset();
        ServiceConfig::Install(ServiceConfig{});
    }

    // A task as the Add Task dialog hands it over, with the first MP4 profile's defaults.
    NewTask MakeTask(const std::string& videoId, const std::string& base, const std::string& type = ".flv")
    {
        const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);
        const ConvertProfile& profile = catalogue.at(1);
        NewTask task;
        task.m_csUrl = "  " + m_service->WatchUrl(videoId) + "\n";
        task.m_csFolder = m_folder + "/";
        task.m_csFileName = base + type;
        ReadJobFromSelection(task.m_job, &profile, SelectedOptions(FillOptionBoxes(profile)));
        task.m_job.m_csSourceFile = task.m_csFolder + base + type;
        task.m_job.m_csTargetFile = task.m_csFolder + base + task.m_job.m_csTargetType;
        return task;
    }

    // Drains the mailbox the way the window does until the row's status starts with
    // `text`; false after the time limit.
    bool PumpUntil(int row, const std::string& text, std::chrono::milliseconds limit = 60s)
    {
        for (const auto end = std::chrono::steady_clock::now() + limit;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(2ms)) {
            m_scheduler->DispatchPending();
            if (row < static_cast<int>(m_rows.rows.size()) &&
                m_rows.Cell(row, COLUMN_STATUS).starts_with(text))
                return true;
        }
        return false;
    }

    static std::unique_ptr<TempFolder> s_clips;
    std::unique_ptr<VideoService> m_service;
    std::string m_folder;
    RecordingRowView m_rows;
    ReportQueue m_queue;
    std::unique_ptr<TaskScheduler> m_scheduler;
};

std::unique_ptr<TempFolder> EngineEndToEndTest::s_clips;

TEST_F(EngineEndToEndTest, DoesAnAddressBecomeAConvertedFile)
{
    m_scheduler->AddTask(MakeTask("video", "clip", ".webm"));
    ASSERT_EQ(m_rows.Names(), (std::vector<std::string>{"clip.webm"}));
    EXPECT_EQ(m_rows.Cell(0, COLUMN_ELAPSED), "0:0:0");
    ASSERT_TRUE(PumpUntil(0, "Task Completed"));

    // The row went through every stage, in order (progress counts as one stage, however
    // often it changes); the encoder's figures never fell, and the last arrived before the end.
    std::string stages, last;
    std::vector<int> percents;
    for (const std::string& entry : m_rows.log) {
        const std::string text = entry.substr(8, entry.find(" - ") - 8) + ", ";
        if (entry.starts_with("set 0,2 ") && !stages.ends_with(text))
            stages += text;
        if (entry.starts_with("set 0,2 Converting - "))
            percents.push_back(std::stoi(entry.substr(21)));
        if (entry.starts_with("set 0,2 ") && entry != "set 0,2 Task Completed")
            last = entry.substr(8);
    }
    EXPECT_EQ(stages, "Parsing URL, Pending, Downloading, Waiting, Converting, Task Completed, ");
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(last, "Converting - 100% - 0:0:0 left");
    const std::string probe = "ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 '" +
                              m_folder + "/clip.mp4' >'" + m_folder + "/probe.txt'";
    ASSERT_EQ(std::system(probe.c_str()), 0);
    EXPECT_EQ(ReadText(m_folder + "/probe.txt"), "video,320,240\naudio\n");
    EXPECT_NE(ReadText(fs::path(m_folder) / "tasks.ini").find("ALLFINISHED_0=TRUE"), std::string::npos);
}

// While no thread can be made: a download and a conversion that cannot start end in their
// failure status with the reason, the queue moves on, and a Remove still frees its task
// and its files.
TEST_F(EngineEndToEndTest, ThreadsThatCannotBeMadeFailTheirTaskAndLeaveTheListWhole)
{
    const auto noThreads = [](bool none) {
        platform::WorkerThread::SetFactory(
            none ? platform::ThreadFactory([](std::function<void()>) -> std::thread {
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            })
                 : platform::ThreadFactory());
    };
    noThreads(true);
    m_scheduler->AddTask(MakeTask("video", "clip"));
    m_scheduler->AddTask(MakeTask("video", "gone"));
    const bool failed = PumpUntil(0, "Download Failed", 10s);
    noThreads(false);
    ASSERT_TRUE(failed);
    EXPECT_TRUE(m_rows.details[0].starts_with("cannot start a thread: ")) << m_rows.details[0];

    WriteText(m_folder + "/gone.flv", "partial");
    noThreads(true);
    m_scheduler->RemoveSelectedTasks({1}, true);
    noThreads(false);
    EXPECT_EQ(m_rows.Names(), (std::vector<std::string>{"clip.flv"}));
    EXPECT_FALSE(fs::exists(m_folder + "/gone.flv"));

    m_scheduler->StartSelectedTasks({0});
    ASSERT_TRUE(PumpUntil(0, "Waiting"));
    noThreads(true);
    const bool conversionFailed = PumpUntil(0, "Conversion Failed", 10s);
    noThreads(false);
    ASSERT_TRUE(conversionFailed);
    EXPECT_TRUE(m_rows.details[0].starts_with("cannot start a thread: ")) << m_rows.details[0];
    m_scheduler->StartSelectedTasks({0});
    EXPECT_TRUE(PumpUntil(0, "Task Completed"));
}

TEST_F(EngineEndToEndTest, DoesADownloadCutShortByAKillContinueAfterTheRestart)
{
    // What the store and the folder hold when the program was killed half way: the size
    // was stored as soon as the service announced it.
    const std::string file = m_folder + "/cut.flv";
    WriteText(file, VideoService::Body(300000).substr(0, 120000));
    WriteText(fs::path(m_folder) / "tasks.ini",
              "[TASKSINFO]\r\nTASKS_NUMBER=1\r\nTASKURL_0=" + m_service->WatchUrl("ok-300000") +
                  "\r\nTASKFILENAME_0=cut.flv\r\nTASKFILEPATH_0=" + file +
                  "\r\nm_csTargetType0=.flv\r\nTASKFILESIZE_0=300000\r\n"
                  "TASKFINISHED_0=FALSE\r\nALLFINISHED_0=TRUE\r\n");
    ASSERT_EQ(m_scheduler->LoadTasks(), 1);
    m_scheduler->StartSelectedTasks({0});
    ASSERT_TRUE(PumpUntil(0, "Task Completed"));
    EXPECT_TRUE(ReadText(file) == VideoService::Body(300000));
    EXPECT_NE(m_service->Requests().back().find("\r\nRange: bytes=120000-\r\n"), std::string::npos);
}

}  // namespace
