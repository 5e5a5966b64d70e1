#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tasks/RowView.h"
#include "tasks/Task.h"

// The tasks in row order and the identifier-to-row map that ties reports to rows.
// Only the UI thread touches it. Identifiers are issued from 0 in each run, never
// reused, and carried whole: a report for an identifier without an entry belongs
// to a task that has left the list and is ignored.
class TaskList {
public:
    // Runs for each removed row while the map still holds the rows as they were when
    // the batch began (so `originalRow` can be compared with looked-up rows); the
    // task is still in the list at `position`.
    using BeforeRemove = std::function<void(std::int32_t originalRow, CTask& task)>;
    // Receives each removed task after it has left the list.
    using AfterRemove = std::function<void(std::unique_ptr<CTask> task)>;

    explicit TaskList(RowView* view = nullptr);
    TaskList(const TaskList&) = delete;
    TaskList& operator=(const TaskList&) = delete;

    // Inserts the task's row (Name column) at the end and numbers the task; returns the row.
    std::int32_t Append(std::unique_ptr<CTask> task);
    // Appends the tasks with their rows' texts (one RowTexts each; the Name column is
    // filled here) in one insertion.
    void AppendAll(std::vector<std::unique_ptr<CTask>> tasks, std::vector<RowTexts> texts);

    std::optional<std::int32_t> FindRow(std::int32_t taskId) const;
    CTask* FindTask(std::int32_t taskId) const;  // null when the task has left the list

    std::int32_t Count() const { return static_cast<std::int32_t>(m_tasks.size()); }
    CTask& At(std::int32_t row) const { return *m_tasks.at(static_cast<std::size_t>(row)); }
    const std::vector<std::unique_ptr<CTask>>& Tasks() const { return m_tasks; }
    std::int32_t NextTaskId() const { return m_nNextTaskId; }

    // Removes the given rows, which must be strictly ascending and inside the list;
    // otherwise nothing changes and the answer is false. The map is renumbered once,
    // after the whole batch.
    bool RemoveRows(const std::vector<std::int32_t>& ascendingRows, const BeforeRemove& beforeRemove = {},
                    const AfterRemove& afterRemove = {});

    // Maps every task's identifier to its current row.
    void Renumber();
    // Empties the list without touching the view (which may be gone by then) and
    // hands the tasks over.
    std::vector<std::unique_ptr<CTask>> TakeTasks();

    RowView* View() const { return m_view; }
    void SetCellText(std::int32_t row, int column, const std::string& text) const;
    void SetRowDetail(std::int32_t row, const std::string& text) const;

private:
    void Number(CTask& task, std::int32_t row);

    RowView* m_view;
    std::vector<std::unique_ptr<CTask>> m_tasks;
    std::map<std::int32_t, std::int32_t> m_mapRow;
    std::int32_t m_nNextTaskId = 0;
};
