#include "tasks/TaskStore.h"

#include <array>
#include <iterator>
#include <memory>
#include <optional>
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
    std::string_view name;
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

enum class StoredField { Url, FileName, FilePath, Job, FileSize, Finished, AllFinished };

// Every key a task has in the store, in the order the saver writes them.
struct StoredName {
    std::string_view name;
    StoredField field = StoredField::Url;
    std::string ConvertJob::*job = nullptr;
};
constexpr auto kStoredNames = [] {
    std::array<StoredName, 6 + std::size(kJobKeys)> names{};
    std::size_t n = 0;
    names[n++] = {"TASKURL_", StoredField::Url};
    names[n++] = {"TASKFILENAME_", StoredField::FileName};
    names[n++] = {"TASKFILEPATH_", StoredField::FilePath};
    for (const JobKey& key : kJobKeys)
        names[n++] = {key.name, StoredField::Job, key.field};
    names[n++] = {"TASKFILESIZE_", StoredField::FileSize};
    names[n++] = {"TASKFINISHED_", StoredField::Finished};
    names[n++] = {"ALLFINISHED_", StoredField::AllFinished};
    return names;
}();

struct StoredKey {
    const StoredName* name;
    std::size_t index;
};

// Which task's field a key holds: a name of the store followed by the row index, written
// as the saver writes it (so "TASKURL_07" is no key of row 7, as a look-up of
// "TASKURL_7" would not find it either); none for a row at or beyond `count`. The name
// after `next` is tried first, as a saved file has them in that order.
std::optional<StoredKey> ParseStoredKey(std::string_view key, std::size_t count, std::size_t& next)
{
    std::size_t digits = key.size();
    while (digits > 0 && key[digits - 1] >= '0' && key[digits - 1] <= '9')
        --digits;
    const std::string_view number = key.substr(digits);
    if (number.empty() || (number.size() > 1 && number.front() == '0') || number.size() > 9)
        return std::nullopt;
    std::size_t index = 0;
    for (const char c : number)
        index = index * 10 + static_cast<std::size_t>(c - '0');
    if (index >= count)
        return std::nullopt;
    const std::string_view name = key.substr(0, digits);
    for (std::size_t tried = 0; tried < kStoredNames.size(); ++tried) {
        const std::size_t i = (next + tried) % kStoredNames.size();
        if (platform::EqualNoCase(name, kStoredNames[i].name)) {
            next = i + 1;
            return StoredKey{&kStoredNames[i], index};
        }
    }
    return std::nullopt;
}

std::shared_ptr<const StoreTexts> TextsOf(const CTask& task)
{
    return std::make_shared<const StoreTexts>(
        StoreTexts{task.m_csUrl, task.m_csFileName, task.m_csFilePath, task.m_job});
}

StoreEntry EntryOf(const CTask& task, std::shared_ptr<const StoreTexts> texts)
{
    StoreEntry entry;
    entry.texts = std::move(texts);
    entry.fileSize = task.m_nFileSize;
    entry.finished = task.m_bFinished;
    entry.allFinished = task.m_bAllFinished;
    return entry;
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
    for (const auto& task : list.Tasks())
        tasks.push_back(EntryOf(*task, TextsOf(*task)));
    return tasks;
}

StoreSnapshot TaskStore::SharedSnapshot(const TaskList& list)
{
    if (m_sharedList != &list)
        m_shared.clear();
    m_sharedList = &list;
    StoreSnapshot tasks;
    tasks.reserve(list.Tasks().size());
    std::vector<SharedTexts> shared;
    shared.reserve(list.Tasks().size());
    // Rows keep the order in which identifiers were issued, so one pass over the previous
    // copy finds every task that was in it.
    auto previous = m_shared.begin();
    for (const auto& task : list.Tasks()) {
        while (previous != m_shared.end() && previous->taskId < task->m_nTaskId)
            ++previous;
        auto texts = previous != m_shared.end() && previous->taskId == task->m_nTaskId ? previous->texts
                                                                                       : TextsOf(*task);
        tasks.push_back(EntryOf(*task, texts));
        shared.push_back({task->m_nTaskId, std::move(texts)});
    }
    m_shared = std::move(shared);
    return tasks;
}

std::string TaskStore::FormatTasks(const StoreSnapshot& tasks)
{
    std::string text;
    text.reserve(64 + tasks.size() * 1024);
    text.append("[TASKSINFO]\r\n");
    AppendLine(text, "TASKS_NUMBER", "", std::to_string(tasks.size()));
    std::int32_t row = 0;
    static const StoreTexts kNoTexts;
    for (const StoreEntry& task : tasks) {
        const std::string index = std::to_string(row++);
        const StoreTexts& texts = task.texts ? *task.texts : kNoTexts;
        AppendLine(text, "TASKURL_", index, texts.url);
        AppendLine(text, "TASKFILENAME_", index, texts.fileName);
        AppendLine(text, "TASKFILEPATH_", index, texts.filePath);
        for (const JobKey& key : kJobKeys)
            AppendLine(text, key.name, index, texts.job.*key.field);
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
    std::int64_t count = platform::ParseLeadingDecimal(file.Get(kSection, "TASKS_NUMBER", "0", kValueBuffer));
    if (count <= 0)
        return 0;
    if (count > maxTasks)
        count = maxTasks;

    std::vector<std::unique_ptr<CTask>> tasks(static_cast<std::size_t>(count));
    for (auto& task : tasks) {
        task = std::make_unique<CTask>();
        task->m_csUrl = task->m_csFileName = task->m_csFilePath = kInvalid;
    }
    // One walk over the file's keys rather than a look-up of each key of each task.
    std::size_t next = 0;
    file.ForEachKey(kSection, kValueBuffer, [&tasks, &next](std::string_view key, std::string_view value) {
        const auto stored = ParseStoredKey(key, tasks.size(), next);
        if (!stored)
            return;
        CTask& task = *tasks[stored->index];
        switch (stored->name->field) {
        case StoredField::Url:
            task.m_csUrl = value;
            break;
        case StoredField::FileName:
            task.m_csFileName = value;
            break;
        case StoredField::FilePath:
            task.m_csFilePath = value;
            break;
        case StoredField::FileSize:
            task.m_nFileSize = platform::ParseLeadingDecimal(value);
            break;
        case StoredField::Finished:
            task.m_bFinished = platform::EqualNoCase(value, kTrue);
            break;
        case StoredField::AllFinished:
            task.m_bAllFinished = platform::EqualNoCase(value, kTrue);
            break;
        case StoredField::Job:
            task.m_job.*stored->name->job = value;
            break;
        }
    });

    std::vector<RowTexts> rows(tasks.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const CTask& loaded = *tasks[i];
        RowTexts& row = rows[i];
        row[COLUMN_TARGET] = loaded.m_job.m_csTargetName;
        row[COLUMN_ELAPSED] = "-";
        row[COLUMN_STATUS] =
            StatusText(loaded.m_bFinished && loaded.m_bAllFinished ? STATUS_TASK_COMPLETED : STATUS_STOPPED);
        row[COLUMN_SIZE] = loaded.m_nFileSize == 0 ? "-" : FormatSizeText(loaded.m_nFileSize);
    }
    list.AppendAll(std::move(tasks), std::move(rows));
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
