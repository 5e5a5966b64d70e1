// How the encoder behaves as a process: failures, odd paths, stop requests, and the
// machines it may meet (no ffmpeg, no AMR encoder).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>

#include <thread>

#include "EncoderTestSupport.h"
#include "convert/EncoderCommandLine.h"
#include "convert/ProfileCatalogue.h"
#include "encoder/ProgramLookup.h"

namespace {

using namespace encoder_test;
using namespace std::chrono_literals;

// The job a program builds for a profile left at its defaults.
ConvertJob DefaultJob(const std::string& profileStart, const std::string& source, const std::string& target) {
    for (const ConvertProfile& profile : BuildProfileCatalogue(CatalogueProgram::Pellux)) {
        if (!profile.m_csName.starts_with(profileStart)) continue;
        ConvertJob job;
        ReadJobFromSelection(job, &profile, SelectedOptions(FillOptionBoxes(profile)));
        job.m_csSourceFile = source;
        job.m_csTargetFile = target;
        return job;
    }
    throw std::runtime_error("no profile " + profileStart);
}

RunResult Convert(const ConvertJob& job, const SpawnOptions& options = {}) {
    return RunProgram(BuildEncoderArguments(job, OstrandPath()), options);
}

bool Succeeded(const RunResult& r) {
    return r.exit.exited && r.exit.code == 0;
}

class EncoderBehaviour : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new TempFolder;
        MakeFlv(*s_folder / "clip.flv", 160, 120, true, 1);
        MakeFlv(*s_folder / "silent.flv", 160, 120, false, 1);
    }
    static void TearDownTestSuite() {
        delete s_folder;
        s_folder = nullptr;
    }
    static std::string Clip() { return *s_folder / "clip.flv"; }
    static std::string Silent() { return *s_folder / "silent.flv"; }

    TempFolder m_out;

private:
    static TempFolder* s_folder;
};

TempFolder* EncoderBehaviour::s_folder = nullptr;

TEST_F(EncoderBehaviour, SourceWithoutSound) {
    // The PSP's container needs a sound track, so one is made; the others stay silent.
    RunResult psp = Convert(DefaultJob("PSP", Silent(), m_out / "psp.mp4"));
    ASSERT_TRUE(Succeeded(psp)) << psp.err;
    MediaInfo media = Probe(m_out / "psp.mp4");
    EXPECT_EQ(media.majorBrand, "MSNV");
    EXPECT_EQ(media.videoStreams, 1);
    EXPECT_EQ(media.audioStreams, 1);
    EXPECT_EQ(media.audioCodec, "aac");
    EXPECT_EQ(media.sampleRate, 24000);
    EXPECT_EQ(media.channels, 2);

    for (const char* profile : {"iPod (320x240) MPEG-4 Normal", "3GP", "WMV"}) {
        const char* extension = profile[0] == '3' ? ".3gp" : profile[0] == 'W' ? ".wmv" : ".mp4";
        const std::string target = m_out / (std::string("silent") + extension);
        RunResult r = Convert(DefaultJob(profile, Silent(), target));
        ASSERT_TRUE(Succeeded(r)) << profile << "\n" << r.err;
        media = Probe(target);
        EXPECT_EQ(media.videoStreams, 1) << profile;
        EXPECT_EQ(media.audioStreams, 0) << profile;
    }
}

TEST_F(EncoderBehaviour, FailedConversionLeavesNoTarget) {
    // Not media at all: nothing can be read, and the placeholder the program made goes.
    WriteFile(m_out / "text.flv", "this is no video\n");
    WriteFile(m_out / "a.mp4", "");
    RunResult r = Convert(DefaultJob("iPod (320x240) MPEG-4 Normal", m_out / "text.flv", m_out / "a.mp4"));
    EXPECT_TRUE(r.exit.exited);
    EXPECT_EQ(r.exit.code, 1);
    EXPECT_FALSE(FileExists(m_out / "a.mp4"));
    EXPECT_NE(r.err.find("ostrand:"), std::string::npos) << r.err;

    // ffmpeg gets as far as creating the file before the codec refuses the size.
    r = RunProgram({OstrandPath(), "converter.exe", "-i", Clip(), "-vcodec", "h263", "-s", "320x240", m_out / "b.3gp"});
    EXPECT_TRUE(r.exit.exited);
    EXPECT_EQ(r.exit.code, 1);
    EXPECT_FALSE(FileExists(m_out / "b.3gp"));

    // A missing source, found out by the probe before ffmpeg runs.
    WriteFile(m_out / "c.mp4", "");
    r = Convert(DefaultJob("PSP", m_out / "missing.flv", m_out / "c.mp4"));
    EXPECT_EQ(r.exit.code, 1);
    EXPECT_FALSE(FileExists(m_out / "c.mp4"));
    EXPECT_NE(r.err.find("cannot read the source"), std::string::npos) << r.err;
}

TEST_F(EncoderBehaviour, ExistingTargetIsOverwritten) {
    const std::string target = m_out / "old.mp4";
    const std::string junk(200000, 'J');
    WriteFile(target, junk);
    RunResult r = Convert(DefaultJob("iPod (320x240) MPEG-4 Normal", Clip(), target));
    ASSERT_TRUE(Succeeded(r)) << r.err;
    EXPECT_TRUE(Probe(target).readable);
    EXPECT_NE(ReadFile(target).substr(0, 100), junk.substr(0, 100));
}

TEST_F(EncoderBehaviour, NamesThatLookLikeOptionsOrProtocols) {
    const std::string names[][2] = {
        {"-clip.flv", "-out.mp4"},
        {"clip:1.flv", "out:1.wmv"},
        {"file:clip.flv", "pipe:out.avi"},
    };
    for (const auto& [source, target] : names) {
        WriteFile(m_out / source, ReadFile(Clip()));
        const std::string profile = target.ends_with(".mp4") ? "iPod (320x240) MPEG-4 Normal"
                                    : target.ends_with(".wmv") ? "WMV" : "AVI";
        SpawnOptions inFolder;
        inFolder.workingFolder = m_out.Path();
        RunResult r = Convert(DefaultJob(profile, source, target), inFolder);
        ASSERT_TRUE(Succeeded(r)) << source << " -> " << target << "\n" << r.err;
        EXPECT_TRUE(Probe(m_out / target).readable) << target;
        // AVI keeps the source's size by default.
        EXPECT_EQ(Probe(m_out / target).width, target.ends_with(".avi") ? 160 : 320) << target;
    }
}

TEST_F(EncoderBehaviour, RefusesToWriteOverItsSource) {
    const std::string source = m_out / "same.flv";
    WriteFile(source, ReadFile(Clip()));
    RunResult r = RunProgram({OstrandPath(), "converter.exe", "-i", source, "-s", "320x240", m_out.Path() + "/./same.flv"});
    EXPECT_EQ(r.exit.code, 2);
    EXPECT_EQ(ReadFile(source), ReadFile(Clip()));
}

TEST_F(EncoderBehaviour, BadArgumentsExplainThemselves) {
    const std::vector<std::vector<std::string>> cases = {
        {OstrandPath()},
        {OstrandPath(), "converter.exe", "-i", Clip()},
        {OstrandPath(), "converter.exe", "-i", Clip(), "-s", "Auto", m_out / "x.mp4"},
        {OstrandPath(), "converter.exe", "-i", Clip(), "-q", "2", m_out / "x.mp4"},
    };
    for (const auto& argv : cases) {
        RunResult r = RunProgram(argv);
        EXPECT_TRUE(r.exit.exited);
        EXPECT_EQ(r.exit.code, 2) << argv.back();
        EXPECT_NE(r.err.find("usage: ostrand"), std::string::npos) << r.err;
        EXPECT_FALSE(FileExists(m_out / "x.mp4"));
    }
}

TEST_F(EncoderBehaviour, MissingFfmpegIsNamed) {
    TempFolder emptyBin;
    SpawnOptions noTools;
    noTools.environment["PATH"] = emptyBin.Path();
    WriteFile(m_out / "a.mp4", "");
    RunResult r = Convert(DefaultJob("iPod (320x240) MPEG-4 Normal", Clip(), m_out / "a.mp4"), noTools);
    EXPECT_TRUE(r.exit.exited);
    EXPECT_EQ(r.exit.code, 3);
    EXPECT_NE(r.err.find("ffmpeg"), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(m_out / "a.mp4"));
}

TEST_F(EncoderBehaviour, ThreeGpWithoutTheAmrEncoderUsesAac) {
    // An ffmpeg that lists no AMR-NB encoder, as one without the extra codecs would.
    TempFolder bin;
    auto ffmpeg = FindProgram("ffmpeg", ProgramSearchPath());
    auto ffprobe = FindProgram("ffprobe", ProgramSearchPath());
    ASSERT_TRUE(ffmpeg && ffprobe);
    WriteFile(bin / "ffmpeg",
              "#!/bin/sh\n"
              "for a in \"$@\"; do\n"
              "  if [ \"$a\" = -encoders ]; then \"" + *ffmpeg + "\" \"$@\" | grep -v libopencore_amrnb; exit 0; fi\n"
              "done\n"
              "exec \"" + *ffmpeg + "\" \"$@\"\n");
    chmod((bin / "ffmpeg").c_str(), 0755);
    symlink(ffprobe->c_str(), (bin / "ffprobe").c_str());
    SpawnOptions withoutAmr;
    withoutAmr.environment["PATH"] = bin.Path();

    RunResult r = Convert(DefaultJob("3GP", Clip(), m_out / "a.3gp"), withoutAmr);
    ASSERT_TRUE(Succeeded(r)) << r.err;
    MediaInfo media = Probe(m_out / "a.3gp");
    EXPECT_EQ(media.videoCodec, "h263");
    EXPECT_EQ(media.audioCodec, "aac");
    EXPECT_EQ(media.sampleRate, 8000);
    EXPECT_EQ(media.channels, 1);
}

// A conversion long enough to be caught in the middle: 1280x720 H.264 from 30 s.
class EncoderStop : public testing::Test {
protected:
    void SetUp() override {
        // Orphans are handed to this process, so a child left behind can be seen and reaped.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        MakeFlv(m_folder / "long.flv", 160, 120, true, 30);
        m_job = DefaultJob("MP4", m_folder / "long.flv", m_folder / "long.mp4");
        m_job.m_csVideoSize = "1280x720";
    }

    // Starts the encoder and waits until ffmpeg is writing the target; its pid.
    pid_t StartAndFindFfmpeg() {
        m_encoder = Spawn(BuildEncoderArguments(m_job, OstrandPath()));
        auto until = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < until) {
            for (pid_t child : ChildrenOf(m_encoder)) {
                std::string name = ReadFile("/proc/" + std::to_string(child) + "/comm");
                if (name.starts_with("ffmpeg") && FileSize(m_job.m_csTargetFile) > 0) return child;
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

    void TearDown() override {
        if (m_encoder > 0 && !WaitFor(m_encoder, 0ms)) {
            kill(m_encoder, SIGKILL);
            WaitFor(m_encoder, 10s);
        }
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }

    TempFolder m_folder;
    ConvertJob m_job;
    pid_t m_encoder = -1;
};

TEST_F(EncoderStop, KillingTheEncoderEndsFfmpeg) {
    pid_t ffmpeg = StartAndFindFfmpeg();
    ASSERT_GT(ffmpeg, 0) << "ffmpeg never started writing";
    ASSERT_EQ(kill(m_encoder, SIGKILL), 0);
    auto encoderExit = WaitFor(m_encoder, 10s);
    ASSERT_TRUE(encoderExit);
    EXPECT_FALSE(encoderExit->exited);

    // ffmpeg is now our orphan: the kernel must have ended it with the encoder.
    auto ffmpegExit = WaitFor(ffmpeg, 10s);
    if (!ffmpegExit) {
        kill(ffmpeg, SIGKILL);
        WaitFor(ffmpeg, 10s);
        FAIL() << "ffmpeg outlived the encoder";
    }
    EXPECT_FALSE(ffmpegExit->exited);
    EXPECT_EQ(ffmpegExit->code, SIGKILL);
    const long long size = FileSize(m_job.m_csTargetFile);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(FileSize(m_job.m_csTargetFile), size) << "something still writes the target";
}

TEST_F(EncoderStop, TerminatingTheEncoderStopsTheConversion) {
    pid_t ffmpeg = StartAndFindFfmpeg();
    ASSERT_GT(ffmpeg, 0) << "ffmpeg never started writing";
    ASSERT_EQ(kill(m_encoder, SIGTERM), 0);
    auto encoderExit = WaitFor(m_encoder, 20s);
    ASSERT_TRUE(encoderExit) << "the encoder did not stop";
    EXPECT_TRUE(encoderExit->exited);
    EXPECT_EQ(encoderExit->code, 128 + SIGTERM);
    EXPECT_FALSE(IsRunning(ffmpeg));
    EXPECT_FALSE(FileExists(m_job.m_csTargetFile));
}

}  // namespace
