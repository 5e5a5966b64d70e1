#include "tasks/TaskList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RecordingRowView.h"

namespace {

// Appends tasks named t0, t1, ... in the order of their identifiers.
void AppendNamed(TaskList& list, int count)
{
    for (int i = 0; i < count; ++i) {
        auto task = std::make_unique<CTask>();
        // Made apart and moved in: copying short text into the new task's string trips a
        // false -Wrestrict of GCC 12 at -O3.
        std::string name = "t";
        name += std::to_string(list.NextTaskId());
        task->m_csFileName = std::move(name);
        list.Append(std::move(task));
    }
}

// The row each identifier below `ids` maps to, "-" for none.
std::string RowsOf(const TaskList& list, std::int32_t ids)
{
    std::string rows;
    for (std::int32_t id = 0; id < ids; ++id)
        rows += list.FindRow(id) ? std::to_string(*list.FindRow(id)) : "-";
    return rows;
}

TEST(TaskList, AppendAndRemoveRowsOneAndThreeOfFive)
{
    RecordingRowView view;
    TaskList list(&view);
    AppendNamed(list, 5);
    EXPECT_EQ(list.At(4).m_job.m_nTaskId, 4);
    EXPECT_EQ(list.FindTask(1), &list.At(1));
    EXPECT_EQ(list.FindTask(5), nullptr);
    view.log.clear();
    // The first hook sees the rows as they were when the batch began, its own task
    // included; the second receives the task once it has left the list.
    std::vector<std::string> seen;
    ASSERT_TRUE(list.RemoveRows(
        {1, 3},
        [&](std::int32_t row, CTask& task) {
            seen.push_back(std::to_string(row) + " " + task.m_csFileName + " " + RowsOf(list, 6) + " " +
                           std::to_string(view.rows.size()));
        },
        [&](std::unique_ptr<CTask> task) { seen.push_back("gone " + task->m_csFileName); }));

    EXPECT_EQ(view.log, (std::vector<std::string>{"delete 1", "delete 2"}));
    EXPECT_EQ(seen, (std::vector<std::string>{"1 t1 01234- 4", "gone t1", "3 t3 0-234- 3", "gone t3"}));
    EXPECT_EQ(view.Names(), (std::vector<std::string>{"t0", "t2", "t4"}));
    EXPECT_EQ(RowsOf(list, 6), "0-1-2-");

    // A batch that is not strictly ascending inside the list changes nothing.
    for (const auto& rows : {std::vector<std::int32_t>{1, 0}, {1, 1}, {0, 3}, {-1}})
        EXPECT_FALSE(list.RemoveRows(rows, [](std::int32_t, CTask&) { FAIL(); }));
    EXPECT_TRUE(list.RemoveRows({}));
    EXPECT_EQ(RowsOf(list, 6), "0-1-2-");
    EXPECT_EQ(view.rows.size(), 3u);
    // Identifiers are never reused.
    EXPECT_EQ(list.Append(std::make_unique<CTask>()), 3);
    EXPECT_EQ(list.At(3).m_nTaskId, 5);
}

TEST(TaskList, IdentifierBeyondSixteenBitsStaysDistinct)
{
    TaskList list;  // no view: 65,537 rows are only about identifiers here
    AppendNamed(list, 65537);
    EXPECT_EQ(list.FindRow(0), 0);
    ASSERT_TRUE(list.RemoveRows({0}));
    EXPECT_EQ(list.FindRow(0), std::nullopt) << "id 0 has left; 65536 must not answer for it";
    EXPECT_EQ(list.FindRow(65536), 65535);
}

TEST(Task, IdleFollowsTheLockedStatus)
{
    CTask task;
    std::string idle = task.IsIdle() ? "new 1, " : "new 0, ";  // a new task is stopped
    for (std::int32_t status = STATUS_PARSING_URL; status <= STATUS_CONVERSION_FAILED; ++status) {
        task.m_nStatus = status;
        idle += task.IsIdle() ? '1' : '0';
    }
    EXPECT_EQ(idle, "new 1, 000011000");
}

}  // namespace
