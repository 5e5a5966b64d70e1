#include "tasks/TaskStore.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "support/RecordingRowView.h"

namespace {

namespace fs = std::filesystem;

class TaskStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tavolin-store-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_path = (m_dir / "tasks.ini").string();
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    void WriteFile(const std::string& text) const
    {
        std::ofstream(m_path, std::ios::binary) << text;
    }
    std::string ReadFile() const
    {
        std::ifstream in(m_path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::int32_t LoadText(const std::string& text, TaskList& list) const
    {
        WriteFile(text);
        return TaskStore(m_path).LoadTasks(list);
    }

    fs::path m_dir;
    std::string m_path;
};

std::unique_ptr<CTask> FullTask()
{
    auto task = std::make_unique<CTask>();
    task->m_csUrl = "http://www.youtube.com/watch?v=AbC-12&t=5";
    task->m_csFileName = "Clip one.flv";
    task->m_csFilePath = "/home/me/Videos/Clip one.flv";
    ConvertJob& job = task->m_job;
    job.m_csSourceFile = "/home/me/Videos/Clip one.flv";
    job.m_csTargetFile = "/home/me/Videos/Clip one.mp4";
    job.m_csAudioBitRate = "128";
    job.m_csAudioChannel = "2";
    job.m_csAudioCodec = "aac";
    job.m_csAudioSampleRate = "44100";
    job.m_csTargetName = "MP4 Video";
    job.m_csTargetType = ".mp4";
    job.m_csVideoBitRate = "768";
    job.m_csVideoCodec = "mpeg4";
    job.m_csVideoFrameRate = "Auto";
    job.m_csVideoSize = "320x240";
    task->m_nFileSize = 5368709120LL;  // beyond 32 bits
    task->m_bFinished = true;
    task->m_bAllFinished = true;
    return task;
}

TEST_F(TaskStoreTest, SavesOneTaskByteExact)
{
    TaskList list;
    list.Append(FullTask());
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(list));
    EXPECT_EQ(ReadFile(),
              "[TASKSINFO]\r\n"
              "TASKS_NUMBER=1\r\n"
              "TASKURL_0=http://www.youtube.com/watch?v=AbC-12&t=5\r\n"
              "TASKFILENAME_0=Clip one.flv\r\n"
              "TASKFILEPATH_0=/home/me/Videos/Clip one.flv\r\n"
              "m_csSourceFile0=/home/me/Videos/Clip one.flv\r\n"
              "m_csTargetFile0=/home/me/Videos/Clip one.mp4\r\n"
              "m_csAudioBitRate0=128\r\n"
              "m_csAudioChannel0=2\r\n"
              "m_csAudioCodec0=aac\r\n"
              "m_csAudioSampleRate0=44100\r\n"
              "m_csTargetName0=MP4 Video\r\n"
              "m_csTargetType0=.mp4\r\n"
              "m_csVideoBitRate0=768\r\n"
              "m_csVideoCodec0=mpeg4\r\n"
              "m_csVideoFrameRate0=Auto\r\n"
              "m_csVideoSize0=320x240\r\n"
              "TASKFILESIZE_0=5368709120\r\n"
              "TASKFINISHED_0=TRUE\r\n"
              "ALLFINISHED_0=TRUE\r\n");

    // Clear flags are left out, never written as FALSE.
    list.At(0).m_bFinished = false;
    list.At(0).m_bAllFinished = false;
    const std::string text = TaskStore::FormatTasks(list);
    EXPECT_EQ(text.find("FINISHED"), std::string::npos);
    EXPECT_NE(text.find("TASKFILESIZE_0=5368709120\r\n"), std::string::npos);
}

TEST_F(TaskStoreTest, RoundTripRestoresTasksAndRows)
{
    TaskList saved;
    saved.Append(FullTask());
    auto downloading = FullTask();  // was still downloading at exit
    downloading->m_csFileName = "second.flv";
    downloading->m_bFinished = false;
    downloading->m_bAllFinished = false;
    downloading->m_nFileSize = 1024 * 1024;
    saved.Append(std::move(downloading));
    auto waiting = std::make_unique<CTask>();  // conversion was waiting at exit
    waiting->m_csFileName = "third.flv";
    waiting->m_bFinished = true;
    saved.Append(std::move(waiting));
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(saved));

    RecordingRowView view;
    TaskList loaded(&view);
    ASSERT_EQ(TaskStore(m_path).LoadTasks(loaded), 3);
    ASSERT_EQ(loaded.Count(), 3);
    for (std::int32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const CTask& a = saved.At(i);
        const CTask& b = loaded.At(i);
        EXPECT_EQ(b.m_csUrl, a.m_csUrl);
        EXPECT_EQ(b.m_csFileName, a.m_csFileName);
        EXPECT_EQ(b.m_csFilePath, a.m_csFilePath);
        EXPECT_EQ(b.m_job, a.m_job);  // the identifier too: both lists numbered 0..2
        EXPECT_EQ(b.m_nFileSize, a.m_nFileSize);
        EXPECT_EQ(b.m_bFinished, a.m_bFinished);
        EXPECT_EQ(b.m_bAllFinished, a.m_bAllFinished);
        EXPECT_EQ(b.m_nStatus, STATUS_STOPPED);
        EXPECT_EQ(loaded.FindRow(i), i);
    }
    EXPECT_EQ(view.rows, (std::vector<std::vector<std::string>>{
                             {"Clip one.flv", "5120.00MB", "Task Completed", "-", "MP4 Video"},
                             {"second.flv", "1.00MB", "Task Stopped", "-", "MP4 Video"},
                             {"third.flv", "-", "Task Stopped", "-", ""},
                         }));

    // The rewrite of a loaded list is the same file.
    const std::string first = ReadFile();
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(loaded));
    EXPECT_EQ(ReadFile(), first);

    // A task added after loading three takes identifier 3 and row 3.
    EXPECT_EQ(loaded.Append(std::make_unique<CTask>()), 3);
    EXPECT_EQ(loaded.At(3).m_nTaskId, 3);
}

TEST_F(TaskStoreTest, MissingKeysLoadDefaultsAndRowsBeyondTheCountAreIgnored)
{
    RecordingRowView view;
    TaskList list(&view);
    ASSERT_EQ(LoadText("[tasksinfo]\r\n"
                       "tasks_number=2\r\n"
                       "TASKURL_0=http://www.youtube.com/watch?v=x\r\n"
                       "m_csTargetName0=iPod\r\n"
                       "TASKURL_2=beyond\r\n"
                       "TASKFILENAME_2=beyond.flv\r\n",
                       list),
              2);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0).m_csUrl, "http://www.youtube.com/watch?v=x");
    EXPECT_EQ(list.At(0).m_csFileName, "INVALID");
    EXPECT_EQ(list.At(0).m_csFilePath, "INVALID");
    EXPECT_EQ(list.At(0).m_job.m_csTargetName, "iPod");
    EXPECT_EQ(list.At(1).m_csUrl, "INVALID");
    ConvertJob emptyJob;
    emptyJob.m_nTaskId = 1;
    EXPECT_EQ(list.At(1).m_job, emptyJob);
    EXPECT_EQ(list.At(1).m_nFileSize, 0);
    EXPECT_FALSE(list.At(1).m_bFinished);
    EXPECT_FALSE(list.At(1).m_bAllFinished);
    EXPECT_EQ(view.rows, (std::vector<std::vector<std::string>>{
                             {"INVALID", "-", "Task Stopped", "-", "iPod"},
                             {"INVALID", "-", "Task Stopped", "-", ""},
                         }));
}

TEST_F(TaskStoreTest, FinishedFlagsAndSizeValues)
{
    struct Case {
        const char* finishedLine;  // empty: no key
        const char* allLine;
        const char* sizeLine;
        bool finished;
        bool allFinished;
        std::int64_t size;
        const char* sizeText;
        const char* statusText;
    };
    const Case cases[] = {
        {"TRUE", "TRUE", "1048576", true, true, 1048576, "1.00MB", "Task Completed"},
        {"true", "tRuE", "1023", true, true, 1023, "0.00MB", "Task Completed"},
        {"  True  ", "", "0", true, false, 0, "-", "Task Stopped"},
        {"FALSE", "TRUE", "12abc", false, true, 12, "0.00MB", "Task Stopped"},
        {"TRUE1", "1", "abc", false, false, 0, "-", "Task Stopped"},
        {"", "", "  2097152", false, false, 2097152, "2.00MB", "Task Stopped"},
        {"yes", "INVALID", "9999999999999999999999", false, false,
         std::numeric_limits<std::int64_t>::max(), "8796093022208.00MB", "Task Stopped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.finishedLine << "|" << c.allLine << "|" << c.sizeLine);
        std::string text = "[TASKSINFO]\nTASKS_NUMBER=1\n";
        if (*c.finishedLine) text += std::string("TASKFINISHED_0=") + c.finishedLine + "\n";
        if (*c.allLine) text += std::string("ALLFINISHED_0=") + c.allLine + "\n";
        text += std::string("TASKFILESIZE_0=") + c.sizeLine + "\n";
        RecordingRowView view;
        TaskList list(&view);
        ASSERT_EQ(LoadText(text, list), 1);
        EXPECT_EQ(list.At(0).m_bFinished, c.finished);
        EXPECT_EQ(list.At(0).m_bAllFinished, c.allFinished);
        EXPECT_EQ(list.At(0).m_nFileSize, c.size);
        EXPECT_EQ(view.Cell(0, COLUMN_SIZE), c.sizeText);
        EXPECT_EQ(view.Cell(0, COLUMN_STATUS), c.statusText);
    }
}

TEST_F(TaskStoreTest, TaskCountFollowsTheLeadingDecimalRule)
{
    struct Case {
        const char* file;
        std::int32_t count;
    };
    const Case cases[] = {
        {"[TASKSINFO]\nTASKS_NUMBER=3\n", 3},
        {"[TASKSINFO]\nTASKS_NUMBER=  +2 tasks\n", 2},
        {"[TASKSINFO]\nTASKS_NUMBER=-2\n", 0},
        {"[TASKSINFO]\nTASKS_NUMBER=many\n", 0},
        {"[OTHER]\nTASKS_NUMBER=3\n", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TaskList list;
        EXPECT_EQ(LoadText(c.file, list), c.count);
        EXPECT_EQ(list.Count(), c.count);
        EXPECT_EQ(list.NextTaskId(), c.count);
    }

    // A damaged count is held to the limit instead of building rows without end.
    for (const char* count : {"99999999999999999999", "8", "7"}) {
        TaskList list;
        const auto file = platform::ProfileSnapshot::Parse(
            std::string("[TASKSINFO]\nTASKS_NUMBER=") + count + "\nTASKURL_6=last\n");
        EXPECT_EQ(TaskStore::LoadTasks(list, file, 7), 7) << count;
        ASSERT_EQ(list.Count(), 7);
        EXPECT_EQ(list.At(6).m_csUrl, "last");
    }

    TaskList list;
    fs::remove(m_path);
    EXPECT_EQ(TaskStore(m_path).LoadTasks(list), 0) << "a missing file is an empty list";
}

// Every value reads back as written, except that a line break, which would let a
// value forge keys of its own, comes back as a blank.
TEST_F(TaskStoreTest, ValuesSurviveTheRoundTripAndCannotForgeKeys)
{
    struct Case {
        std::string value;
        std::string stored;
        std::string loaded;
    };
    const Case cases[] = {
        {"plain name.flv", "plain name.flv", "plain name.flv"},
        {"", "", ""},
        {" leading.flv", "\" leading.flv\"", " leading.flv"},
        {"trailing.flv\t", "\"trailing.flv\t\"", "trailing.flv\t"},
        {"\"quoted\"", "\"\"quoted\"\"", "\"quoted\""},
        {"'single'", "\"'single'\"", "'single'"},
        {"\"half.flv", "\"half.flv", "\"half.flv"},
        {"a \"b\" c", "a \"b\" c", "a \"b\" c"},
        {"\n", "\" \"", " "},
        {std::string("/tmp/a\0b", 8), "/tmp/a b", "/tmp/a b"},
        {"evil\r\nTASKS_NUMBER=99\nALLFINISHED_0=TRUE", "evil  TASKS_NUMBER=99 ALLFINISHED_0=TRUE",
         "evil  TASKS_NUMBER=99 ALLFINISHED_0=TRUE"},
    };
    TaskList list;
    for (const Case& c : cases) {
        EXPECT_EQ(TaskStore::StoredForm(c.value), c.stored) << c.value;
        auto task = std::make_unique<CTask>();
        task->m_csFileName = c.value;
        task->m_job.m_csTargetName = c.value;
        list.Append(std::move(task));
    }
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(list));
    TaskList loaded;
    ASSERT_EQ(TaskStore(m_path).LoadTasks(loaded), list.Count());
    for (std::int32_t i = 0; i < list.Count(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(loaded.At(i).m_csFileName, c.loaded) << i;
        EXPECT_EQ(loaded.At(i).m_job.m_csTargetName, c.loaded) << i;
        EXPECT_FALSE(loaded.At(i).m_bAllFinished) << i;
    }
}

TEST_F(TaskStoreTest, RewriteReplacesTheWholeFileOrNothing)
{
    WriteFile(std::string(100000, 'x'));
    TaskList list;
    list.Append(FullTask());
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(list));
    EXPECT_EQ(ReadFile(), TaskStore::FormatTasks(list)) << "no tail of the old file survives";

    TaskList empty;
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(empty));
    EXPECT_EQ(ReadFile(), "[TASKSINFO]\r\nTASKS_NUMBER=0\r\n");

    std::string error;
    EXPECT_FALSE(TaskStore((m_dir / "missing" / "tasks.ini").string()).SaveTasks(list, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(), "[TASKSINFO]\r\nTASKS_NUMBER=0\r\n") << "a failed save touches nothing else";
}

TEST_F(TaskStoreTest, AStoreThatCouldNotBeReadIsNeverOverwritten)
{
    // Something that exists but cannot be read as a file (a folder here: permissions
    // do not stop a test that runs as root).
    fs::create_directory(m_path);
    fs::path inside = fs::path(m_path) / "keep";
    std::ofstream(inside) << "kept";

    TaskStore store(m_path);
    TaskList list;
    EXPECT_EQ(store.LoadTasks(list), 0);
    EXPECT_TRUE(store.ReadFailed());
    list.Append(FullTask());
    std::string error;
    EXPECT_FALSE(store.SaveTasks(list, &error));
    EXPECT_NE(error.find(m_path), std::string::npos);
    EXPECT_TRUE(fs::exists(inside));

    // A missing file is no failure: the first save creates it.
    fs::remove_all(m_path);
    TaskStore fresh(m_path);
    EXPECT_EQ(fresh.LoadTasks(list), 0);
    EXPECT_FALSE(fresh.ReadFailed());
    EXPECT_TRUE(fresh.SaveTasks(list));
    EXPECT_EQ(ReadFile(), TaskStore::FormatTasks(list));
}

TEST(TaskStoreNumbers, LeadingDecimalRule)
{
    struct Case {
        const char* text;
        std::int64_t value;
    };
    const Case cases[] = {
        {"0", 0},
        {"42", 42},
        {"  \t-12x", -12},
        {"+7", 7},
        {"- 7", 0},
        {"x7", 0},
        {"", 0},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"9223372036854775808", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775807", -std::numeric_limits<std::int64_t>::max()},
        {"4294967296", 4294967296LL},
    };
    for (const Case& c : cases) EXPECT_EQ(TaskStore::ParseLeadingNumber(c.text), c.value) << c.text;
}

}  // namespace
