#pragma once
#include <cstdint>

// How workers reach the UI thread. Every call returns at once: a worker never
// waits for the UI thread.
class MessagePoster {
public:
    virtual ~MessagePoster() = default;
    virtual void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) = 0;
    // wParam 1: the encoder runner has just ended a job; 0: a job was queued.
    virtual void PostConvertNext(int wParam) = 0;
};
