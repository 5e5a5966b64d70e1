#include "platform/Scheduling.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {

namespace {

// Linux keeps a nice value for each thread; naming the thread's own id changes only it.
id_t ThisThread()
{
    return static_cast<id_t>(::gettid());
}

}  // namespace

int ThreadNice()
{
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, ThisThread());
    return errno == 0 ? nice : 0;
}

void LowerThreadPriority()
{
    // A failure leaves the thread as it was, which is only slower for the window.
    ::setpriority(PRIO_PROCESS, ThisThread(), std::min(ThreadNice() + kBackgroundNice, 19));
}

void SeparateThreadHeaps()
{
    // The default shares a handful of heaps among all threads, the main thread's among them.
    ::mallopt(M_ARENA_MAX, 1024);
}

}  // namespace platform
