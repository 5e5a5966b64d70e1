#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "convert/ConvertJob.h"
#include "platform/AutoResetEvent.h"
#include "platform/WorkerThread.h"
#include "tasks/TaskReport.h"

// One download task and its optional conversion. The lock guards m_nStatus,
// m_bFinished and m_nFileSize; the worker holds it only for the assignment. The last
// two are atomics as well: the UI thread reads them for every save and every speed
// report, and must never wait for a worker that was preempted holding the lock.
class CTask {
public:
    virtual ~CTask() = default;
    virtual void Lock() { m_lock.lock(); }
    virtual void Unlock() { m_lock.unlock(); }

    bool IsFinished();  // m_bFinished under the lock
    bool IsIdle();      // m_nStatus is 4 or 5, under the lock

    platform::AutoResetEvent m_evStop;
    bool m_bDeleteFiles = false;
    // The names, the address and the job are fixed before the task joins the list: the
    // store's copies share them from then on.
    std::string m_csFileName;
    std::string m_csFilePath;
    std::string m_csUrl;
    ConvertJob m_job;
    std::atomic<bool> m_bFinished{false};
    bool m_bAllFinished = false;  // UI thread only
    std::atomic<bool> m_bSilent{false};
    std::int32_t m_nTaskId = 0;
    std::int32_t m_nStatus = STATUS_STOPPED;
    std::atomic<std::int64_t> m_nFileSize{0};
    std::atomic<std::int64_t> m_nElapsed{0};
    std::atomic<float> m_fProgress{0.0f};
    std::unique_ptr<platform::WorkerThread> m_pThread;
    std::string m_detail;  // why the task last failed; UI thread only, not stored
    // What the row shows of a running download; UI thread only.
    TransferRate m_rate;
    std::int64_t m_progressShown = 0;

private:
    std::mutex m_lock;
};
