#include "converter/ProgressStep.h"

#include <gtest/gtest.h>

namespace {

// The window sees the steps of ten and the start over at 100; these positions it never shows.
TEST(ProgressStep, OddAndResetPositions)
{
    EXPECT_EQ(NextProgressPosition(95), 0);
    EXPECT_EQ(NextProgressPosition(-1), 10);  // a reset bar sits below its range
}

}  // namespace
