#include "platform/Pipe.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/AutoResetEvent.h"

namespace {

using namespace std::chrono_literals;
using platform::AutoResetEvent;
using platform::Pipe;
using Wake = Pipe::Wake;

TEST(Pipe, WakesForInputItsEndAnEventOrTheTime)
{
    Pipe pipe;
    ASSERT_TRUE(pipe.Open(nullptr));
    AutoResetEvent event;
    // Signalled before anyone waited on it, and left signalled for the caller to take.
    event.Set();
    EXPECT_EQ(pipe.Wait(&event, 10s), Wake::Event);
    EXPECT_EQ(pipe.Wait(&event, 10s), Wake::Event);
    EXPECT_TRUE(event.TryWait());
    event.Set();
    event.Reset();
    EXPECT_EQ(pipe.Wait(&event, 10ms), Wake::TimeUp);

    ASSERT_EQ(::write(pipe.WriteEnd(), "ab", 2), 2);
    EXPECT_EQ(pipe.Wait(&event, 10s), Wake::Input);
    std::string text;
    EXPECT_TRUE(pipe.Read(text));
    EXPECT_TRUE(pipe.Read(text));  // nothing more yet, and no waiting for it
    EXPECT_EQ(text, "ab");
    pipe.CloseWriteEnd();
    EXPECT_EQ(pipe.Wait(&event, 10s), Wake::Input);
    EXPECT_FALSE(pipe.Read(text));
    EXPECT_TRUE(pipe.HasEnded());
    EXPECT_EQ(pipe.Wait(&event, 10ms), Wake::TimeUp);  // an ended input wakes nobody

    std::thread setter([&event] {
        std::this_thread::sleep_for(50ms);
        event.Set();
    });
    EXPECT_EQ(pipe.Wait(&event, 10s), Wake::Event);
    setter.join();
}

}  // namespace
