#pragma once
#include <cstdint>
#include <string>

// How workers reach the UI thread. Every call returns at once: a worker never
// waits for the UI thread.
class MessagePoster {
public:
    virtual ~MessagePoster() = default;
    virtual void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) = 0;
    // wParam 1: the encoder runner has just ended a job; 0: a job was queued.
    virtual void PostConvertNext(int wParam) = 0;
    // Why a task failed, in one line; posted right before the failure status, so the
    // row shows the reason with the status.
    virtual void PostTaskDetail(std::int32_t taskId, std::string text) = 0;
};
