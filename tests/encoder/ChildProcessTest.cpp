// The children ostrand starts: what they write reaches us whole however they end, and a
// time limit ends one that hangs.
#include "encoder/ChildProcess.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <thread>
#include <variant>

#include "encoder/SourceProbe.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

using namespace std::chrono_literals;

// A child that writes to its output, then to its errors while we are still busy with
// the output, and ends: the errors arrive after the last look at the pipes and before
// the child is seen to have ended, and must still be read.
TEST(ChildProcess, WhatAChildWroteJustBeforeItEndedIsRead)
{
    StopSignals stops;
    std::string output, errors;
    ChildOptions options;
    options.onOutput = [&](std::string_view chunk) {
        if (output.empty())
            std::this_thread::sleep_for(400ms);
        output.append(chunk);
    };
    options.onError = [&](std::string_view chunk) { errors.append(chunk); };
    const ChildOutcome outcome =
        ChildProcess::Run({"/bin/sh", "-c", "printf out; sleep 0.1; printf last >&2"}, stops, options);
    EXPECT_TRUE(outcome.Succeeded());
    EXPECT_EQ(output, "out");
    EXPECT_EQ(errors, "last");
}

// A stand-in for ffprobe that hangs is ended at the limit and the source counts as
// unreadable. (A real one answering: the encoder's runs of non-FLV sources.)
TEST(ChildProcess, AProbeThatHangsIsEndedAtItsTimeLimit)
{
    TempFolder folder;
    const std::string ffprobe = folder.Path("ffprobe");
    WriteText(ffprobe, "#!/bin/sh\nexec sleep 5\n");
    ::chmod(ffprobe.c_str(), 0755);
    StopSignals stops;
    const auto hung = ProbeSource(ffprobe, folder.Path("clip.flv"), stops, 300ms);
    ASSERT_TRUE(std::holds_alternative<ProbeError>(hung)) << "the hung probe was waited for to its end";
    EXPECT_EQ(std::get<ProbeError>(hung).message, "reading the source took too long");
}

}  // namespace
