#include "platform/Doorbell.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace platform {

Doorbell::Doorbell() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

Doorbell::~Doorbell()
{
    ::close(m_fd);
}

void Doorbell::Ring() const
{
    // Fails only with the counter at its limit, which is rung already.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

void Doorbell::Clear() const
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_fd, &count, sizeof count);
}

bool Doorbell::Wait(std::chrono::milliseconds timeout) const
{
    pollfd watched{m_fd, POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&watched, 1, static_cast<int>(std::max<long long>(0, timeout.count())));
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace platform
