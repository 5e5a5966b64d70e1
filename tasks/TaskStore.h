#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/PrivateProfile.h"
#include "tasks/TaskList.h"

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
    // written, the old file then being left as it was.
    bool SaveTasks(const TaskList& list, std::string* error = nullptr) const;
    // Appends the stored tasks to `list` (and its rows), numbering them in file order;
    // returns how many were loaded. A missing or unreadable file loads nothing. A file
    // that exists but cannot be read is then never replaced in this run: the list is
    // saved after every change, and the first save would otherwise wipe out the
    // user's stored tasks without a word.
    std::int32_t LoadTasks(TaskList& list);
    bool ReadFailed() const { return m_readFailed; }

    static std::string FormatTasks(const TaskList& list);
    static std::int32_t LoadTasks(TaskList& list, const platform::ProfileSnapshot& file,
                                  std::int32_t maxTasks = kMaxTasks);

    // What is written after "KEY=": the value raw, except that each CR, LF or NUL
    // (which would start a line of its own and could forge keys) becomes a blank,
    // and a value with blanks at either end or wrapped in matching quotes, which the
    // reader would trim or unwrap, is put inside one more pair of double quotes.
    static std::string StoredForm(std::string_view value);

private:
    std::string m_path;
    bool m_readFailed = false;
};
