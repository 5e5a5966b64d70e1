#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PrivateProfile.h"
#include "tasks/TaskList.h"

// The texts the store keeps of a task. They are fixed before the task joins the list, so
// one copy serves every later save.
struct StoreTexts {
    std::string url;
    std::string fileName;
    std::string filePath;
    ConvertJob job;
};

// What the store keeps of one task: a copy taken on the UI thread, so the text can be
// formatted and written elsewhere.
struct StoreEntry {
    std::shared_ptr<const StoreTexts> texts;  // none: all empty
    std::int64_t fileSize = 0;
    bool finished = false;
    bool allFinished = false;
};
using StoreSnapshot = std::vector<StoreEntry>;

// tasks.ini: the task list between runs, one INI section "TASKSINFO" whose keys carry
// the row index. The file is always rewritten whole and replaced atomically, so after
// any add, remove, finish or exit it matches the list, and a crash mid-write leaves
// the previous list rather than none.
class TaskStore {
public:
    // Longest value read back; a longer one is cut.
    static constexpr std::size_t kValueBuffer = 32768;
    // A damaged count must not make the program build millions of empty rows.
    static constexpr std::int32_t kMaxTasks = 100000;

    explicit TaskStore(std::string path);
    const std::string& Path() const { return m_path; }

    // Replaces the file with the whole list; false (and `error`) when it cannot be
    // written, the old file then being left as it was, or when the file could not be
    // read at start.
    bool SaveTasks(const TaskList& list, std::string* error = nullptr) const;
    bool SaveTasks(const StoreSnapshot& tasks, std::string* error = nullptr) const;
    // Appends the stored tasks to `list` (and its rows), numbering them in file order;
    // returns how many were loaded. A missing file loads nothing. A file that exists but
    // cannot be read whole loads nothing either, and is then never replaced in this
    // run: the list is saved after every change, and the first save would otherwise
    // wipe out the user's stored tasks without a word. Temporary files that writes
    // killed before their end left beside the store are removed first.
    std::int32_t LoadTasks(TaskList& list);
    bool ReadFailed() const { return m_readFailed; }
    // Why the file counts as unreadable; what a refused save says.
    std::string ReadFailure() const;

    static StoreSnapshot Snapshot(const TaskList& list);
    // The same for the list this store saves again and again: the texts of tasks that were
    // in the previous copy are shared with it rather than copied again, and only the
    // sizes and flags are read anew. Another list starts afresh.
    StoreSnapshot SharedSnapshot(const TaskList& list);
    static std::string FormatTasks(const StoreSnapshot& tasks);
    static std::string FormatTasks(const TaskList& list) { return FormatTasks(Snapshot(list)); }
    // The write alone, for a thread that has no TaskStore.
    static bool WriteTasks(const std::string& path, const StoreSnapshot& tasks, std::string* error);
    static std::int32_t LoadTasks(TaskList& list, const platform::ProfileSnapshot& file,
                                  std::int32_t maxTasks = kMaxTasks);

    // What is written after "KEY=": the value raw, except that each CR, LF or NUL
    // (which would start a line of its own and could forge keys) becomes a blank,
    // and a value with blanks at either end or wrapped in matching quotes, which the
    // reader would trim or unwrap, is put inside one more pair of double quotes.
    static std::string StoredForm(std::string_view value);

private:
    struct SharedTexts {
        std::int32_t taskId;
        std::shared_ptr<const StoreTexts> texts;
    };

    std::string m_path;
    bool m_readFailed = false;
    std::string m_readError;
    // The previous shared copy's texts, in row order, and the list it was taken of.
    std::vector<SharedTexts> m_shared;
    const TaskList* m_sharedList = nullptr;
};
