#include "tasks/Task.h"

bool CTask::IsFinished()
{
    Lock();
    const bool finished = m_bFinished;
    Unlock();
    return finished;
}

bool CTask::IsIdle()
{
    Lock();
    const std::int32_t status = m_nStatus;
    Unlock();
    return status == STATUS_DOWNLOAD_FAILED || status == STATUS_STOPPED;
}
