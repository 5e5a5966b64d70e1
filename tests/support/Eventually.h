#pragma once
#include <chrono>
#include <functional>
#include <thread>

// Polls `condition` until it holds, or `limit` has passed; whether it held.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    for (const auto end = std::chrono::steady_clock::now() + limit; !condition();
         std::this_thread::sleep_for(std::chrono::milliseconds(2)))
        if (std::chrono::steady_clock::now() >= end)
            return false;
    return true;
}
