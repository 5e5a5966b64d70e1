#pragma once
#include <chrono>

namespace platform {

// A wake-up that any thread rings without taking a lock or waiting: a ring is one write
// to an eventfd. The descriptor polls readable from a ring until the next Clear, so an
// event loop can watch it; rings in between are one wake.
class Doorbell {
public:
    // Throws std::system_error when no descriptor can be made.
    Doorbell();
    ~Doorbell();
    Doorbell(const Doorbell&) = delete;
    Doorbell& operator=(const Doorbell&) = delete;

    void Ring() const;
    void Clear() const;
    // True when rung within the time limit; the ring stays until Clear.
    bool Wait(std::chrono::milliseconds timeout) const;
    int Descriptor() const { return m_fd; }

private:
    int m_fd = -1;
};

}  // namespace platform
