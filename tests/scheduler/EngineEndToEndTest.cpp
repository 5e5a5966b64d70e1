// The engine from a watch-page address to a converted file: the real download worker
// against the local video service, and the real encoder.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "convert/ProfileCatalogue.h"
#include "fetch/ServiceConfig.h"
#include "fetch/VideoService.h"
#include "scheduler/SchedulerTestSupport.h"
#include "tasks/TaskScheduler.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class EngineEndToEndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/engine-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        s_clipFolder = pattern;
        // A short clip as the service served them: Sorenson video with MP3 sound.
        const std::string command =
            "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc=size=176x144:rate=15 "
            "-f lavfi -i sine=frequency=440:sample_rate=22050 -t 1 -c:v flv1 -c:a libmp3lame "
            "-shortest '" +
            (s_clipFolder / "clip.flv").string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() { fs::remove_all(s_clipFolder); }

    void SetUp() override
    {
        m_service = std::make_unique<VideoService>(
            std::vector<std::string>{"--video", (s_clipFolder / "clip.flv").string()});
        ServiceConfig config;
        config.m_csServiceHost = m_service->Host();
        config.m_csCdnDomain = "cdn.test";
        ServiceConfig::Install(config);
        m_folder = m_service->Folder();

        TaskScheduler::Settings settings;
        settings.m_csStorePath = (fs::path(m_folder) / "tasks.ini").string();
        settings.m_csEncoderPath = std::string(TAVOLIN_BIN_DIR) + "/ostrand";
        settings.m_encoderPoll = 50ms;
        m_scheduler = std::make_unique<TaskScheduler>(m_rows, m_queue, m_prompt, settings);
    }
    void TearDown() override
    {
        m_scheduler.reset();
        ServiceConfig::Install(ServiceConfig{});
    }

    // A task as the Add Task dialog hands it over, with the first MP4 profile's defaults.
    NewTask MakeTask(const std::string& videoId, const std::string& base)
    {
        const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);
        const ConvertProfile& profile = catalogue.at(1);
        NewTask task;
        task.m_csUrl = "  " + m_service->WatchUrl(videoId) + "\n";
        task.m_csFolder = m_folder + "/";
        task.m_csFileName = base + ".flv";
        ReadJobFromSelection(task.m_job, &profile, SelectedOptions(FillOptionBoxes(profile)));
        task.m_job.m_csSourceFile = task.m_csFolder + base + ".flv";
        task.m_job.m_csTargetFile = task.m_csFolder + base + task.m_job.m_csTargetType;
        return task;
    }

    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 60s)
    {
        return ::PumpUntil(*m_scheduler, done, limit);
    }

    bool StatusIs(int row, const std::string& text) const { return ::StatusIs(m_rows, row, text); }
    bool StatusStartsWith(int row, const std::string& text) const
    {
        return row < static_cast<int>(m_rows.rows.size()) &&
               m_rows.Cell(row, COLUMN_STATUS).rfind(text, 0) == 0;
    }

    std::string Store() const { return ReadText(fs::path(m_folder) / "tasks.ini"); }

    static fs::path s_clipFolder;
    std::unique_ptr<VideoService> m_service;
    std::string m_folder;
    RecordingRowView m_rows;
    ReportQueue m_queue;
    NoPrompt m_prompt;
    std::unique_ptr<TaskScheduler> m_scheduler;
};

fs::path EngineEndToEndTest::s_clipFolder;

std::string Probe(const std::string& path)
{
    const std::string command =
        "ffprobe -v error -show_entries stream=codec_type,width,height "
        "-of csv=p=0 '" +
        path + "'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

TEST_F(EngineEndToEndTest, DoesAnAddressBecomeAConvertedFile)
{
    m_scheduler->AddTask(MakeTask("video", "clip"));
    ASSERT_EQ(m_rows.Names(), (std::vector<std::string>{"clip.flv"}));
    EXPECT_EQ(m_rows.Cell(0, COLUMN_ELAPSED), "0:0:0");
    ASSERT_TRUE(PumpUntil([&] { return StatusIs(0, "Task Completed"); }));

    // The row went through every stage, in order.
    std::vector<std::string> stages;
    for (const std::string& entry : m_rows.log) {
        if (entry.rfind("set 0,2 ", 0) != 0)
            continue;
        std::string text = entry.substr(8);
        if (text.rfind("Downloading", 0) == 0)
            text = "Downloading";
        if (stages.empty() || stages.back() != text)
            stages.push_back(text);
    }
    EXPECT_EQ(stages, (std::vector<std::string>{"Parsing URL", "Pending", "Downloading", "Waiting",
                                                "Converting", "Task Completed"}));
    EXPECT_EQ(Probe(m_folder + "/clip.mp4"), "video,320,240\naudio\n");
    EXPECT_EQ(m_scheduler->Tasks().At(0).m_csUrl, m_service->WatchUrl("video"));

    const std::string store = Store();
    EXPECT_NE(store.find("TASKFINISHED_0=TRUE"), std::string::npos);
    EXPECT_NE(store.find("ALLFINISHED_0=TRUE"), std::string::npos);
    EXPECT_NE(store.find("m_csVideoSize0=320x240"), std::string::npos);
}

TEST_F(EngineEndToEndTest, DoSeveralDownloadsFinishingDuringAConversionWaitTheirTurn)
{
    for (const char* base : {"one", "two", "three"})
        m_scheduler->AddTask(MakeTask("video", base));
    ASSERT_TRUE(PumpUntil(
        [&] {
            return StatusIs(0, "Task Completed") && StatusIs(1, "Task Completed") &&
                   StatusIs(2, "Task Completed");
        },
        120s));
    // Never two conversions at once.
    int converting = 0, most = 0;
    for (const std::string& entry : m_rows.log) {
        if (entry.size() > 8 && entry.compare(5, 3, ",2 ") == 0) {
            const std::string text = entry.substr(8);
            if (text == "Converting")
                most = std::max(most, ++converting);
            if (text == "Task Completed")
                --converting;
        }
    }
    EXPECT_EQ(most, 1);
    for (const char* base : {"one", "two", "three"})
        EXPECT_FALSE(Probe(m_folder + "/" + base + ".mp4").empty()) << base;
}

TEST_F(EngineEndToEndTest, DoRemoveAndExitDuringDownloadsLeaveTheRightFilesAndStore)
{
    m_scheduler->AddTask(MakeTask("slow-3000000", "removed"));
    m_scheduler->AddTask(MakeTask("slow-3000000", "kept"));
    ASSERT_TRUE(PumpUntil(
        [&] { return StatusStartsWith(0, "Downloading") && StatusStartsWith(1, "Downloading"); }, 20s));

    m_scheduler->RemoveSelectedTasks({0}, true);
    EXPECT_EQ(m_rows.Names(), (std::vector<std::string>{"kept.flv"}));
    ASSERT_TRUE(PumpUntil([&] { return !fs::exists(m_folder + "/removed.flv"); }, 5s));

    // Exit waits for the stopped worker, and the store keeps the unfinished task.
    const auto before = std::chrono::steady_clock::now();
    m_scheduler->ExitApp();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
    const std::string store = Store();
    EXPECT_NE(store.find("TASKS_NUMBER=1\r\n"), std::string::npos);
    EXPECT_NE(store.find("TASKFILENAME_0=kept.flv"), std::string::npos);
    EXPECT_EQ(store.find("TASKFINISHED_0"), std::string::npos);
    EXPECT_TRUE(fs::exists(m_folder + "/kept.flv")) << "a stopped download keeps its partial file";
}

}  // namespace
