#include "tasks/TaskStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "support/Files.h"
#include "support/RecordingRowView.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

class TaskStoreTest : public ::testing::Test {
protected:
    std::string ReadFile() const { return ReadText(m_path); }

    TempFolder m_folder;
    const std::string m_path = m_folder.Path("tasks.ini");
};

// Loaded, every field is where its key says; saved, the file is the same byte for byte;
// loaded back with a second task, the tasks, their rows and the rewritten file are the same.
TEST_F(TaskStoreTest, LoadsAndSavesByteExact)
{
    fs::copy_file(TestData("store-one-task.ini"), m_path);
    TaskList saved;
    ASSERT_EQ(TaskStore(m_path).LoadTasks(saved), 1);
    const CTask& task = saved.At(0);
    const ConvertJob& job = task.m_job;
    std::string fields = task.m_csUrl;
    for (const std::string* field :
         {&task.m_csFilePath, &job.m_csSourceFile, &job.m_csTargetFile, &job.m_csAudioBitRate,
          &job.m_csAudioChannel, &job.m_csAudioCodec, &job.m_csAudioSampleRate, &job.m_csTargetType,
          &job.m_csVideoBitRate, &job.m_csVideoCodec, &job.m_csVideoFrameRate, &job.m_csVideoSize})
        fields += "|" + *field;
    EXPECT_EQ(
        fields,
        "http://h/watch?v=Ab&t=5|/v/Clip one.flv|/v/Clip one.flv|/v/Clip one.mp4|128|2|aac|44100|.mp4|768|"
        "mpeg4|Auto|320x240");
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(saved));
    EXPECT_EQ(ReadFile(), ReadText(TestData("store-one-task.ini")));

    saved.Append(std::make_unique<CTask>());
    saved.At(1).m_csFileName = "second.flv";
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(saved));
    const std::string file = ReadFile();
    EXPECT_EQ(file.find("FINISHED_1"), std::string::npos) << "clear flags are left out";

    RecordingRowView view;
    TaskList loaded(&view);
    ASSERT_EQ(TaskStore(m_path).LoadTasks(loaded), 2);
    EXPECT_EQ(TaskStore::FormatTasks(loaded), file);
    EXPECT_EQ(view.rows, (Rows{{"Clip one.flv", "5120.00MB", "Task Completed", "-", "MP4 Video"},
                               {"second.flv", "-", "Task Stopped", "-", ""}}));
}

// Missing keys load their defaults, flags match TRUE whole in any case, the size takes
// its leading number, and rows beyond the count are ignored.
TEST_F(TaskStoreTest, LoadsDefaultsFlagsAndSizes)
{
    RecordingRowView view;
    TaskList list(&view);
    fs::copy_file(TestData("store-defaults.ini"), m_path);
    ASSERT_EQ(TaskStore(m_path).LoadTasks(list), 3);
    EXPECT_EQ(list.At(1).m_csUrl, "INVALID");
    EXPECT_FALSE(list.At(1).m_bFinished) << "TRUE1 is not TRUE";
    EXPECT_TRUE(list.At(2).m_bFinished);
    EXPECT_EQ(view.rows, (Rows{{"INVALID", "2.00MB", "Task Completed", "-", "iPod"},
                               {"INVALID", "-", "Task Stopped", "-", ""},
                               {"INVALID", "-", "Task Stopped", "-", ""}}));
}

// Every value reads back as written, except that a line break, which would let a
// value forge keys of its own, comes back as a blank.
TEST_F(TaskStoreTest, ValuesSurviveTheRoundTripAndCannotForgeKeys)
{
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", "", ""},
        {" leading.flv", "\" leading.flv\"", " leading.flv"},
        {"trailing.flv\t", "\"trailing.flv\t\"", "trailing.flv\t"},
        {"\"quoted\"", "\"\"quoted\"\"", "\"quoted\""},
        {"'single'", "\"'single'\"", "'single'"},
        {"\"half.flv", "\"half.flv", "\"half.flv"},
        {std::string("a\0b", 3), "a b", "a b"},
        {"e\r\nALLFINISHED_0=TRUE", "e  ALLFINISHED_0=TRUE", "e  ALLFINISHED_0=TRUE"},
    };
    TaskList list;
    for (const auto& [value, stored, loaded] : cases) {
        EXPECT_EQ(TaskStore::StoredForm(value), stored) << value;
        list.Append(std::make_unique<CTask>());
        list.At(list.Count() - 1).m_job.m_csTargetName = value;
    }
    ASSERT_TRUE(TaskStore(m_path).SaveTasks(list));
    TaskList loaded;
    ASSERT_EQ(TaskStore(m_path).LoadTasks(loaded), list.Count());
    for (std::int32_t i = 0; i < list.Count(); ++i)
        EXPECT_EQ(loaded.At(i).m_job.m_csTargetName, std::get<2>(cases[i])) << i;
}

TEST_F(TaskStoreTest, AStoreThatCouldNotBeReadIsNeverOverwritten)
{
    // Something that exists but cannot be read whole (permissions do not stop a test that
    // runs as root); what else cannot be read is the whole-file read's own test.
    fs::create_directory(m_path);
    TaskStore store(m_path);
    TaskList list;
    EXPECT_EQ(store.LoadTasks(list), 0);
    EXPECT_TRUE(store.ReadFailed());
    // Not even once a file there could be replaced, for the rest of the run.
    fs::remove(m_path);
    WriteText(m_path, "kept");
    std::string error;
    EXPECT_FALSE(store.SaveTasks(list, &error));
    EXPECT_NE(error.find(m_path), std::string::npos);
    EXPECT_EQ(ReadFile(), "kept");

    // A missing file is no failure: it loads nothing and the first save creates it. What
    // a write killed before its end left beside it goes (no process has a pid that high).
    fs::remove_all(m_path);
    const std::string abandoned = m_folder.Path(".tasks.ini.tmp99999999-3");
    WriteText(abandoned, "half a store");
    TaskStore fresh(m_path);
    EXPECT_EQ(fresh.LoadTasks(list), 0);
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fresh.SaveTasks(list));
    EXPECT_EQ(ReadFile(), "[TASKSINFO]\r\nTASKS_NUMBER=0\r\n");
}

// A copy that shares the previous one's texts holds what a fresh copy holds, after tasks
// have left the list and others joined it, and for another list.
TEST(TaskStoreCopies, ASharedCopyMatchesAFreshOne)
{
    TaskList list;
    for (const char* name : {"a", "b", "c", "d"}) {
        auto task = std::make_unique<CTask>();
        task->m_csFileName = name;
        list.Append(std::move(task));
    }
    TaskStore store("unused");
    const auto same = [&store](const TaskList& tasks) {
        return TaskStore::FormatTasks(store.SharedSnapshot(tasks)) == TaskStore::FormatTasks(tasks);
    };
    EXPECT_TRUE(same(list));
    ASSERT_TRUE(list.RemoveRows({0, 2}));
    auto task = std::make_unique<CTask>();
    task->m_csFileName = "e";
    list.Append(std::move(task));
    list.At(0).m_nFileSize = 5;
    EXPECT_TRUE(same(list));
    TaskList other;  // identifiers 0 and 1 again
    other.Append(std::make_unique<CTask>());
    other.Append(std::make_unique<CTask>());
    EXPECT_TRUE(same(other));
}

// A negative count loads nothing; a damaged one is held to the limit.
TEST(TaskStoreNumbers, CountIsHeldToTheLimitAndKeysFoundAsALookUpWould)
{
    TaskList list;
    const auto negative = platform::ProfileSnapshot::Parse("[TASKSINFO]\nTASKS_NUMBER=-2\n");
    EXPECT_EQ(TaskStore::LoadTasks(list, negative), 0);
    const auto file =
        platform::ProfileSnapshot::Parse("[TASKSINFO]\nTASKS_NUMBER=99999999999999999999\nTASKURL_6=last\n");
    EXPECT_EQ(TaskStore::LoadTasks(list, file, 7), 7);
    EXPECT_EQ(list.At(6).m_csUrl, "last");

    // Keys are matched as a look-up by name would match them: any letter case, the first of
    // duplicates, only the first block of the section, and the row number as written.
    const auto keys = platform::ProfileSnapshot::Parse(
        "[TASKSINFO]\nTASKS_NUMBER=3\nTASKURL_01=zero-led\ntaskurl_0=first\nTASKURL_0=second\n"
        "TASKURL_1x=suffix\nTASKURL_=none\n  TASKURL_2 = spaced \nTASKURL_10=ten\nM_CSTARGETNAME1=upper\n"
        "[Other]\nTASKURL_1=other section\n[tasksinfo]\nTASKURL_1=repeated block\n");
    TaskList keyed;
    ASSERT_EQ(TaskStore::LoadTasks(keyed, keys), 3);
    EXPECT_EQ(keyed.At(0).m_csUrl, "first");
    EXPECT_EQ(keyed.At(1).m_csUrl, "INVALID");
    EXPECT_EQ(keyed.At(1).m_job.m_csTargetName, "upper");
    EXPECT_EQ(keyed.At(2).m_csUrl, "spaced");
}

}  // namespace
