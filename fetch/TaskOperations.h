#pragma once
// What the UI thread does to a task's download worker.

#include <memory>

#include "fetch/DownloadWorker.h"

class CTask;

// Starts a worker for an idle task (status failed or stopped). The task turns to
// "parsing" under its lock before the worker exists, so a second start in the
// moment before the worker's first report finds it busy: false then, and nothing
// is started. `context` is copied; its poster and prompt must outlive the worker. A
// worker that cannot be started, or that ends on an exception, fails its task with the
// reason as its detail.
bool StartDownload(CTask& task, const DownloadContext& context);

// Asks the worker to stop and returns at once.
void StopDownload(CTask& task);

// Waits, without a time limit, until the worker has ended, and drops its thread.
void JoinDownload(CTask& task);

// Frees a task that has left the list and whose worker has been asked to stop. With
// m_bDeleteFiles set, its two files are deleted before and again after the worker
// ends: the second time catches a file that the worker still created or held.
void DisposeTask(std::unique_ptr<CTask> task);
