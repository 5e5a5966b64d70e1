#include "platform/Text.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>
#include <limits>
#include <string>
#include <thread>

namespace {

using platform::ParseLeadingDecimal;
using platform::TrimBlanks;
using platform::TrimWhiteSpace;

TEST(Text, EachTrimCutsItsOwnSetFromBothEndsOnly)
{
    struct Case {
        std::string_view text;
        std::string_view blanks;
        std::string_view whiteSpace;
    };
    const Case cases[] = {
        {"", "", ""},
        {" \t ", "", ""},
        {" \t a b\t ", "a b", "a b"},
        {"\r\n a \v\f", "\r\n a \v\f", "a"},
        {" \r\na\tb\n\t", "\r\na\tb\n", "a\tb"},
        {"\xC2\xA0x", "\xC2\xA0x", "\xC2\xA0x"},  // a UTF-8 no-break space is text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimBlanks(c.text), c.blanks) << "[" << c.text << "]";
        EXPECT_EQ(TrimWhiteSpace(c.text), c.whiteSpace) << "[" << c.text << "]";
    }
}

TEST(Text, LeadingDecimalSaturatesAtTheLimits)
{
    using Limits = std::numeric_limits<std::int64_t>;
    const std::pair<std::string_view, std::int64_t> cases[] = {
        {"42", 42},
        {" \t+42abc", 42},
        {"  \t-12x", -12},
        {"-0", 0},
        {"", 0},
        {"- 5", 0},
        {"\n5", 0},  // only blanks and tabs lead
        {"4294967296", 4294967296LL},
        {"9223372036854775807", Limits::max()},
        {"9223372036854775808", Limits::max()},
        {"99999999999999999999", Limits::max()},
        {"-9223372036854775807", -Limits::max()},
        {"-9223372036854775808", Limits::min()},
        {"-99999999999999999999", Limits::min()},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ParseLeadingDecimal(text), value) << "[" << text << "]";
}

// A timer interrupts the writes while a slow reader keeps the pipe full, so the
// writer meets both short writes and EINTR.
TEST(Text, WriteAllDeliversEveryByteThroughInterruptions)
{
    struct sigaction quiet {};
    quiet.sa_handler = [](int) {};
    struct sigaction old {};
    ASSERT_EQ(::sigaction(SIGALRM, &quiet, &old), 0);  // no SA_RESTART

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string data(4 << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i % 253);

    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::pthread_sigmask(SIG_BLOCK, &alarm, nullptr);  // the reader inherits the block
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            received.append(buffer, static_cast<std::size_t>(n));
    });
    ::pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);

    const itimerval every{{0, 200}, {0, 200}};
    ::setitimer(ITIMER_REAL, &every, nullptr);
    const bool written = platform::WriteAll(fds[1], data.data(), data.size());
    const itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::close(fds[1]);
    reader.join();
    ::close(fds[0]);
    ::sigaction(SIGALRM, &old, nullptr);

    EXPECT_TRUE(written);
    EXPECT_TRUE(received == data);

    const int readOnly = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(readOnly, 0);
    EXPECT_FALSE(platform::WriteAll(readOnly, "x", 1));
    EXPECT_EQ(errno, EBADF);
    ::close(readOnly);
}

}  // namespace
