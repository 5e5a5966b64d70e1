#include "tasks/TaskList.h"

#include <utility>

TaskList::TaskList(RowView* view) : m_view(view) {}

void TaskList::Number(CTask& task, std::int32_t row)
{
    task.m_nTaskId = m_nNextTaskId;
    task.m_job.m_nTaskId = m_nNextTaskId;
    m_mapRow[m_nNextTaskId] = row;
    ++m_nNextTaskId;
}

std::int32_t TaskList::Append(std::unique_ptr<CTask> task)
{
    const auto row = static_cast<std::int32_t>(m_tasks.size());
    CTask& added = *task;
    m_tasks.push_back(std::move(task));
    if (m_view)
        m_view->InsertRow(row, added.m_csFileName);
    Number(added, row);
    return row;
}

void TaskList::AppendAll(std::vector<std::unique_ptr<CTask>> tasks, std::vector<RowTexts> texts)
{
    texts.resize(tasks.size());
    const auto first = static_cast<std::int32_t>(m_tasks.size());
    m_tasks.reserve(m_tasks.size() + tasks.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        texts[i][COLUMN_NAME] = tasks[i]->m_csFileName;
        Number(*tasks[i], first + static_cast<std::int32_t>(i));
        m_tasks.push_back(std::move(tasks[i]));
    }
    if (m_view && !texts.empty())
        m_view->InsertRows(first, texts);
}

std::optional<std::int32_t> TaskList::FindRow(std::int32_t taskId) const
{
    const auto entry = m_mapRow.find(taskId);
    if (entry == m_mapRow.end())
        return std::nullopt;
    return entry->second;
}

CTask* TaskList::FindTask(std::int32_t taskId) const
{
    const auto row = FindRow(taskId);
    if (!row)
        return nullptr;
    return m_tasks[static_cast<std::size_t>(*row)].get();
}

bool TaskList::RemoveRows(const std::vector<std::int32_t>& ascendingRows, const BeforeRemove& beforeRemove,
                          const AfterRemove& afterRemove)
{
    std::int32_t previous = -1;
    for (const std::int32_t row : ascendingRows) {
        if (row <= previous || row >= Count())
            return false;
        previous = row;
    }

    std::int32_t removed = 0;
    for (const std::int32_t row : ascendingRows) {
        const std::int32_t position = row - removed;
        const auto at = m_tasks.begin() + position;
        if (m_view)
            m_view->DeleteRow(position);
        if (beforeRemove)
            beforeRemove(row, **at);
        std::unique_ptr<CTask> task = std::move(*at);
        m_mapRow.erase(task->m_nTaskId);
        m_tasks.erase(at);
        ++removed;
        if (afterRemove)
            afterRemove(std::move(task));
    }
    Renumber();
    return true;
}

void TaskList::Renumber()
{
    for (std::size_t i = 0; i < m_tasks.size(); ++i)
        m_mapRow[m_tasks[i]->m_nTaskId] = static_cast<std::int32_t>(i);
}

std::vector<std::unique_ptr<CTask>> TaskList::TakeTasks()
{
    m_mapRow.clear();
    return std::exchange(m_tasks, {});
}

void TaskList::SetCellText(std::int32_t row, int column, const std::string& text) const
{
    if (m_view)
        m_view->SetCellText(row, column, text);
}

void TaskList::SetRowDetail(std::int32_t row, const std::string& text) const
{
    if (m_view)
        m_view->SetRowDetail(row, text);
}
