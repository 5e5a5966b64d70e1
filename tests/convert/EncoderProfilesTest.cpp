// What the programs learn of the installed encoder's profiles, and how they ask it.

#include "convert/EncoderProfiles.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <thread>

#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

using namespace std::chrono_literals;

const std::string kListingEncoder = TAVOLIN_TESTS_DIR "/support/listing_encoder.sh";
const std::string k3gp = "3GP - Cell Phone H.263 (*.3gp)";

TEST(ProfileListing, OnlyAWholeListingCounts)
{
    const struct {
        const char* text;
        std::optional<UnavailableProfiles> read;
    } rows[] = {
        {"ok\tA\nunavailable\tB (*.x)\tneeds AMR-NB support, needs the wmv2 encoder\n",
         UnavailableProfiles{{"B (*.x)", "needs AMR-NB support, needs the wmv2 encoder"}}},
        {"ok\tA\nlater\tC\tsomething new\n", UnavailableProfiles{}},
        {"unavailable\tB\n", std::nullopt},  // no reason
        {"Usage: ostrand converter.exe -i SOURCE [options] TARGET\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseProfileListing(row.text), row.read) << row.text;
    EXPECT_EQ(ProfileDisplayName(k3gp, "needs AMR-NB support"),
              "3GP - Cell Phone H.263 (*.3gp) (needs AMR-NB support)");
    EXPECT_EQ(ProfileDisplayName(k3gp, ""), k3gp);
}

// A stand-in encoder that lists one profile unavailable is believed; one that cannot be
// asked, fails, or does not answer in time tells nothing.
TEST(EncoderProfiles, LearnsFromTheEncoderOrNothing)
{
    TempFolder folder;
    const std::string slow = folder.Path("slow.sh");
    WriteText(slow, "#!/bin/sh\nexec sleep 60\n");
    ::chmod(slow.c_str(), 0755);
    platform::AutoResetEvent cancel;
    const auto listed = AskEncoderProfiles(kListingEncoder, 10s, cancel);
    ASSERT_TRUE(listed);
    EXPECT_EQ(*listed, (UnavailableProfiles{{k3gp, "needs AMR-NB support"}}));
    EXPECT_FALSE(AskEncoderProfiles(folder.Path("missing"), 10s, cancel));
    EXPECT_FALSE(AskEncoderProfiles("/bin/false", 10s, cancel));
    EXPECT_FALSE(AskEncoderProfiles(slow, 100ms, cancel));
    cancel.Set();
    EXPECT_FALSE(AskEncoderProfiles(slow, 60s, cancel));  // at once, or the test times out

    // What it learns is shown in Pellux's window. Going away while the encoder keeps it waiting ends the
    // question.
    EncoderProfiles waiting;
    waiting.Ask(slow, 60s, [] { ADD_FAILURE() << "no answer was given"; });
}

}  // namespace
