#pragma once
#include <chrono>
#include <optional>
#include <vector>

#include <QString>

// How the ends of tasks become desktop notifications: the endings that come within two
// seconds of the first make one notification, so a burst of finished tasks is one
// message, not a stack of them.

// One task that completed or failed.
struct TaskEnding {
    QString name;    // the task's name in the list
    QString status;  // its row's text: "Task Completed", "Download Failed", ...
    QString file;    // what a click shows: the file the task made; empty for a failure
    bool completed = false;
};

struct NotificationText {
    QString summary;
    QString body;
    QString file;  // shown on a click; empty: the notification offers no click
};

// One ending tells its status and name, and a completed one offers its file; several
// are counted ("3 tasks completed, 1 failed") with their names below.
NotificationText DescribeEndings(const std::vector<TaskEnding>& endings);

class EndingBatch {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds kWindow{2000};

    void Add(TaskEnding ending, TimePoint now);
    // When the open batch is to be told; nothing while none is open.
    std::optional<TimePoint> DueAt() const;
    // The open batch once it is due at `now` (nothing before); the next ending opens a
    // new one.
    std::vector<TaskEnding> TakeDue(TimePoint now);
    void Clear();
    std::size_t Size() const { return m_endings.size(); }

private:
    std::vector<TaskEnding> m_endings;
    TimePoint m_opened{};
};
