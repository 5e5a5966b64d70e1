#pragma once
// A MessagePoster for tests: keeps every report in posting order and lets a test
// wait for a task's final status.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "tasks/MessagePoster.h"
#include "tasks/TaskReport.h"

class RecordingPoster : public MessagePoster {
public:
    void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_reports.push_back({taskId, code, value});
        }
        m_cond.notify_all();
    }

    void PostConvertNext(int) override {}

    std::vector<TaskReport> Reports() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports;
    }

    // The values of one report code, in order.
    std::vector<std::int64_t> Values(std::int32_t code) const
    {
        std::vector<std::int64_t> values;
        for (const TaskReport& r : Reports())
            if (r.code == code)
                values.push_back(r.value);
        return values;
    }

    // Waits until a status report satisfying `pred` arrives; its value, or nothing.
    template <typename Pred>
    std::optional<std::int64_t> WaitForStatus(Pred pred, std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        std::optional<std::int64_t> found;
        m_cond.wait_for(lock, timeout, [&] {
            for (const TaskReport& r : m_reports)
                if (r.code == REPORT_STATUS && pred(r.value)) {
                    found = r.value;
                    return true;
                }
            return false;
        });
        return found;
    }

    // Waits for 3, 4 or 5: the end of a download.
    std::optional<std::int64_t> WaitForEnd(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        return WaitForStatus(
            [](std::int64_t s) {
                return s == STATUS_DOWNLOAD_COMPLETED || s == STATUS_DOWNLOAD_FAILED ||
                       s == STATUS_STOPPED;
            },
            timeout);
    }

    // Waits until some report satisfies `pred`.
    template <typename Pred>
    bool WaitForReport(Pred pred, std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cond.wait_for(lock, timeout, [&] {
            for (const TaskReport& r : m_reports)
                if (pred(r))
                    return true;
            return false;
        });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<TaskReport> m_reports;
};
