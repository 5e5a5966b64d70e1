#include "tasks/TaskStore.h"

#include <cctype>
#include <memory>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

constexpr std::string_view kSection = "TASKSINFO";
constexpr std::string_view kInvalid = "INVALID";
constexpr std::string_view kTrue = "TRUE";

// The conversion keys in the order a task's lines are written.
struct JobKey {
    const char* name;
    std::string ConvertJob::*field;
};
constexpr JobKey kJobKeys[] = {
    {"m_csSourceFile", &ConvertJob::m_csSourceFile},
    {"m_csTargetFile", &ConvertJob::m_csTargetFile},
    {"m_csAudioBitRate", &ConvertJob::m_csAudioBitRate},
    {"m_csAudioChannel", &ConvertJob::m_csAudioChannel},
    {"m_csAudioCodec", &ConvertJob::m_csAudioCodec},
    {"m_csAudioSampleRate", &ConvertJob::m_csAudioSampleRate},
    {"m_csTargetName", &ConvertJob::m_csTargetName},
    {"m_csTargetType", &ConvertJob::m_csTargetType},
    {"m_csVideoBitRate", &ConvertJob::m_csVideoBitRate},
    {"m_csVideoCodec", &ConvertJob::m_csVideoCodec},
    {"m_csVideoFrameRate", &ConvertJob::m_csVideoFrameRate},
    {"m_csVideoSize", &ConvertJob::m_csVideoSize},
};

// A line break would end the line and let the rest pose as keys of its own.
char Unbroken(char c)
{
    return c == '\r' || c == '\n' || c == '\0' ? ' ' : c;
}

// The reader drops blanks around a value and one pair of matching quotes around it;
// a value it would change that way is written inside one more pair of quotes, so it
// reads back as it was.
bool NeedsQuotes(std::string_view value)
{
    if (value.empty())
        return false;
    const char front = Unbroken(value.front());
    const char back = Unbroken(value.back());
    if (platform::IsBlank(front) || platform::IsBlank(back))
        return true;
    return value.size() >= 2 && (front == '"' || front == '\'') && back == front;
}

void AppendStoredForm(std::string& text, std::string_view value)
{
    const bool quoted = NeedsQuotes(value);
    if (quoted)
        text.push_back('"');
    if (value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos) {
        text.append(value);
    } else {
        for (const char c : value)
            text.push_back(Unbroken(c));
    }
    if (quoted)
        text.push_back('"');
}

void AppendLine(std::string& text, std::string_view name, const std::string& index, std::string_view value)
{
    text.append(name).append(index).append("=");
    AppendStoredForm(text, value);
    text.append("\r\n");
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

TaskStore::TaskStore(std::string path) : m_path(std::move(path)) {}

std::string TaskStore::StoredForm(std::string_view value)
{
    std::string stored;
    stored.reserve(value.size() + 2);
    AppendStoredForm(stored, value);
    return stored;
}

StoreSnapshot TaskStore::Snapshot(const TaskList& list)
{
    StoreSnapshot tasks;
    tasks.reserve(list.Tasks().size());
    for (const auto& task : list.Tasks()) {
        StoreEntry& entry = tasks.emplace_back();
        entry.url = task->m_csUrl;
        entry.fileName = task->m_csFileName;
        entry.filePath = task->m_csFilePath;
        entry.job = task->m_job;
        task->Lock();
        entry.fileSize = task->m_nFileSize;
        entry.finished = task->m_bFinished;
        task->Unlock();
        entry.allFinished = task->m_bAllFinished;
    }
    return tasks;
}

std::string TaskStore::FormatTasks(const StoreSnapshot& tasks)
{
    std::string text;
    text.reserve(64 + tasks.size() * 1024);
    text.append("[TASKSINFO]\r\n");
    AppendLine(text, "TASKS_NUMBER", "", std::to_string(tasks.size()));
    std::int32_t row = 0;
    for (const StoreEntry& task : tasks) {
        const std::string index = std::to_string(row++);
        AppendLine(text, "TASKURL_", index, task.url);
        AppendLine(text, "TASKFILENAME_", index, task.fileName);
        AppendLine(text, "TASKFILEPATH_", index, task.filePath);
        for (const JobKey& key : kJobKeys)
            AppendLine(text, key.name, index, task.job.*key.field);
        AppendLine(text, "TASKFILESIZE_", index, std::to_string(task.fileSize));
        if (task.finished)
            AppendLine(text, "TASKFINISHED_", index, kTrue);
        if (task.allFinished)
            AppendLine(text, "ALLFINISHED_", index, kTrue);
    }
    return text;
}

std::string TaskStore::ReadFailure() const
{
    return m_readError + "; it is kept as it was";
}

bool TaskStore::SaveTasks(const TaskList& list, std::string* error) const
{
    return SaveTasks(Snapshot(list), error);
}

bool TaskStore::SaveTasks(const StoreSnapshot& tasks, std::string* error) const
{
    if (m_readFailed) {
        if (error)
            *error = ReadFailure();
        return false;
    }
    return WriteTasks(m_path, tasks, error);
}

bool TaskStore::WriteTasks(const std::string& path, const StoreSnapshot& tasks, std::string* error)
{
    return platform::WriteFileAtomically(path, FormatTasks(tasks), error);
}

std::int32_t TaskStore::LoadTasks(TaskList& list, const platform::ProfileSnapshot& file,
                                  std::int32_t maxTasks)
{
    const auto read = [&file](std::string_view key, std::string_view def) {
        return file.Get(kSection, key, def, kValueBuffer);
    };
    std::int64_t count = platform::ParseLeadingDecimal(read("TASKS_NUMBER", "0"));
    if (count <= 0)
        return 0;
    if (count > maxTasks)
        count = maxTasks;

    std::string key;
    const auto keyOf = [&key](std::string_view name, const std::string& index) -> const std::string& {
        key.assign(name).append(index);
        return key;
    };
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string index = std::to_string(i);
        auto task = std::make_unique<CTask>();
        for (const JobKey& jobKey : kJobKeys)
            task->m_job.*jobKey.field = read(keyOf(jobKey.name, index), "");
        task->m_csUrl = read(keyOf("TASKURL_", index), kInvalid);
        task->m_csFileName = read(keyOf("TASKFILENAME_", index), kInvalid);
        task->m_csFilePath = read(keyOf("TASKFILEPATH_", index), kInvalid);
        task->m_nFileSize = platform::ParseLeadingDecimal(read(keyOf("TASKFILESIZE_", index), "0"));
        task->m_bFinished = EqualsNoCase(read(keyOf("TASKFINISHED_", index), kInvalid), kTrue);
        task->m_bAllFinished = EqualsNoCase(read(keyOf("ALLFINISHED_", index), kInvalid), kTrue);

        const CTask& loaded = *task;
        const std::int32_t row = list.Append(std::move(task));
        list.SetCellText(row, COLUMN_TARGET, loaded.m_job.m_csTargetName);
        list.SetCellText(row, COLUMN_ELAPSED, "-");
        list.SetCellText(
            row, COLUMN_STATUS,
            StatusText(loaded.m_bFinished && loaded.m_bAllFinished ? STATUS_TASK_COMPLETED : STATUS_STOPPED));
        list.SetCellText(row, COLUMN_SIZE,
                         loaded.m_nFileSize == 0 ? "-" : FormatSizeText(loaded.m_nFileSize));
    }
    return static_cast<std::int32_t>(count);
}

std::int32_t TaskStore::LoadTasks(TaskList& list)
{
    platform::RemoveAbandonedTemporaries(m_path);
    std::string text;
    m_readFailed = platform::ReadWholeFile(m_path, text, &m_readError) == platform::FileRead::Failed;
    if (m_readFailed)
        return 0;
    return LoadTasks(list, platform::ProfileSnapshot::Parse(text));
}
