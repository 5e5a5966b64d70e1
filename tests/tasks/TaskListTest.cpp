#include "tasks/TaskList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RecordingRowView.h"

namespace {

std::unique_ptr<CTask> MakeTask(const std::string& name)
{
    auto task = std::make_unique<CTask>();
    task->m_csFileName = name;
    return task;
}

void AppendNamed(TaskList& list, const std::vector<std::string>& names)
{
    for (const auto& name : names) list.Append(MakeTask(name));
}

std::vector<std::string> NamesOf(const TaskList& list)
{
    std::vector<std::string> names;
    for (const auto& task : list.Tasks()) names.push_back(task->m_csFileName);
    return names;
}

// Every remaining task maps to its own row, and nothing else is mapped.
void ExpectConsistent(const TaskList& list, std::int32_t firstUnusedId)
{
    std::int32_t mapped = 0;
    for (std::int32_t id = 0; id < firstUnusedId; ++id) {
        if (const auto row = list.FindRow(id)) {
            ++mapped;
            EXPECT_EQ(list.At(*row).m_nTaskId, id);
        }
    }
    EXPECT_EQ(mapped, list.Count());
}

TEST(TaskList, AppendNumbersTasksAndRows)
{
    RecordingRowView view;
    TaskList list(&view);
    AppendNamed(list, {"a.flv", "b.flv", "c.flv"});
    const std::int32_t row = list.Append(MakeTask("d.flv"));

    EXPECT_EQ(row, 3);
    EXPECT_EQ(list.At(3).m_nTaskId, 3);
    EXPECT_EQ(list.At(3).m_job.m_nTaskId, 3);
    EXPECT_EQ(list.FindRow(3), 3);
    EXPECT_EQ(list.NextTaskId(), 4);
    EXPECT_EQ(view.Names(), (std::vector<std::string>{"a.flv", "b.flv", "c.flv", "d.flv"}));
    EXPECT_EQ(list.FindRow(4), std::nullopt);
    EXPECT_EQ(list.FindTask(4), nullptr);
    EXPECT_EQ(list.FindTask(1), &list.At(1));
}

TEST(TaskList, RemovingRowsOneAndThreeOfFive)
{
    RecordingRowView view;
    TaskList list(&view);
    AppendNamed(list, {"t0", "t1", "t2", "t3", "t4"});
    view.log.clear();

    struct Seen {
        std::int32_t originalRow;
        std::string name;
        std::vector<std::optional<std::int32_t>> rowsOfIds;  // ids 0..4 looked up in the hook
        std::vector<std::string> viewNames;
    };
    std::vector<Seen> seen;
    std::vector<std::unique_ptr<CTask>> removed;
    const bool ok = list.RemoveRows(
        {1, 3},
        [&](std::int32_t originalRow, CTask& task) {
            Seen s{originalRow, task.m_csFileName, {}, view.Names()};
            for (std::int32_t id = 0; id < 5; ++id) s.rowsOfIds.push_back(list.FindRow(id));
            seen.push_back(s);
        },
        [&](std::unique_ptr<CTask> task) { removed.push_back(std::move(task)); });

    ASSERT_TRUE(ok);
    EXPECT_EQ(view.log, (std::vector<std::string>{"delete 1", "delete 2"}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].originalRow, 1);
    EXPECT_EQ(seen[0].name, "t1");
    EXPECT_EQ(seen[0].viewNames, (std::vector<std::string>{"t0", "t2", "t3", "t4"}));
    // The hook sees the rows as they were when the batch began, its own task included.
    EXPECT_EQ(seen[0].rowsOfIds, (std::vector<std::optional<std::int32_t>>{0, 1, 2, 3, 4}));
    EXPECT_EQ(seen[1].originalRow, 3);
    EXPECT_EQ(seen[1].name, "t3");
    EXPECT_EQ(seen[1].rowsOfIds,
              (std::vector<std::optional<std::int32_t>>{0, std::nullopt, 2, 3, 4}));

    ASSERT_EQ(removed.size(), 2u);
    EXPECT_EQ(removed[0]->m_csFileName, "t1");
    EXPECT_EQ(removed[1]->m_csFileName, "t3");

    EXPECT_EQ(NamesOf(list), (std::vector<std::string>{"t0", "t2", "t4"}));
    EXPECT_EQ(view.Names(), NamesOf(list));
    EXPECT_EQ(list.FindRow(0), 0);
    EXPECT_EQ(list.FindRow(2), 1);
    EXPECT_EQ(list.FindRow(4), 2);
    EXPECT_EQ(list.FindRow(1), std::nullopt);
    EXPECT_EQ(list.FindRow(3), std::nullopt);
    ExpectConsistent(list, list.NextTaskId());

    // Identifiers are never reused.
    EXPECT_EQ(list.Append(MakeTask("t5")), 3);
    EXPECT_EQ(list.At(3).m_nTaskId, 5);
}

TEST(TaskList, BatchRemovalEdgeCases)
{
    struct Case {
        std::vector<std::int32_t> rows;
        bool ok;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {{}, true, {"t0", "t1", "t2", "t3"}},
        {{0, 1, 2, 3}, true, {}},
        {{0}, true, {"t1", "t2", "t3"}},
        {{3}, true, {"t0", "t1", "t2"}},
        {{0, 3}, true, {"t1", "t2"}},
        {{2, 1}, false, {"t0", "t1", "t2", "t3"}},  // not ascending
        {{1, 1}, false, {"t0", "t1", "t2", "t3"}},  // repeated
        {{1, 4}, false, {"t0", "t1", "t2", "t3"}},  // beyond the list
        {{-1}, false, {"t0", "t1", "t2", "t3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.rows));
        RecordingRowView view;
        TaskList list(&view);
        AppendNamed(list, {"t0", "t1", "t2", "t3"});
        int hooks = 0;
        EXPECT_EQ(list.RemoveRows(c.rows, [&](std::int32_t, CTask&) { ++hooks; }), c.ok);
        EXPECT_EQ(hooks, c.ok ? static_cast<int>(c.rows.size()) : 0);
        EXPECT_EQ(NamesOf(list), c.left);
        EXPECT_EQ(view.Names(), c.left);
        ExpectConsistent(list, 4);
    }
}

TEST(TaskList, IdentifierBeyondSixteenBitsStaysDistinct)
{
    TaskList list;  // no view: 65,537 rows are only about identifiers here
    for (int i = 0; i <= 65536; ++i) list.Append(std::make_unique<CTask>());
    ASSERT_EQ(list.At(65536).m_nTaskId, 65536);
    EXPECT_EQ(list.FindRow(65536), 65536);
    EXPECT_EQ(list.FindRow(0), 0);

    ASSERT_TRUE(list.RemoveRows({0}));
    EXPECT_EQ(list.FindRow(0), std::nullopt) << "id 0 has left; 65536 must not answer for it";
    EXPECT_EQ(list.FindRow(65536), 65535);
    EXPECT_EQ(list.FindTask(65536)->m_nTaskId, 65536);
}

}  // namespace
