// The encoder as a program: every converting profile end to end, failures, odd paths,
// stop requests, and the machines it may meet (no ffmpeg, no AMR encoder).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "convert/EncoderCommandLine.h"
#include "convert/ProfileCatalogue.h"
#include "encoder/ProgramLookup.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Args = std::vector<std::string>;

const std::string kOstrand = std::string(TAVOLIN_BIN_DIR) + "/ostrand";

std::string Tool(const char* name)
{
    return FindProgram(name, ProgramSearchPath()).value();
}

// A folder of its own under /tmp, removed with everything in it.
struct TempFolder {
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path = [] {
        std::string pattern = (fs::temp_directory_path() / "ostrand-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        return pattern;
    }();
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// Starts argv (argv[0] a path) directly, never through a shell, reading /dev/null.
pid_t Spawn(const Args& argv, const std::string& out = "/dev/null", const std::string& err = "/dev/null")
{
    std::vector<char*> cargv;
    for (const std::string& arg : argv)
        cargv.push_back(const_cast<char*>(arg.c_str()));
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

// The exit status of a child, or minus the signal that ended it; none while it still
// runs after `limit`.
std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds limit)
{
    for (auto until = std::chrono::steady_clock::now() + limit;; std::this_thread::sleep_for(10ms)) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        if (std::chrono::steady_clock::now() >= until)
            return std::nullopt;
    }
}

struct RunResult {
    int code;
    std::string out, err;
};

RunResult RunProgram(const Args& argv)
{
    TempFolder logs;
    const pid_t pid = Spawn(argv, logs / "out", logs / "err");
    const auto code = WaitFor(pid, 120s);
    if (!code)
        kill(pid, SIGKILL);  // and the test fails with bad_optional_access
    return {code.value(), ReadFile(logs / "out"), ReadFile(logs / "err")};
}

// Made once from ffmpeg's own sources, 161x121 Sorenson video and MP3 sound in FLV:
// "clip.flv", "silent.flv" (no sound) or "long.flv" (60 s).
std::string Clip(const std::string& name)
{
    static TempFolder folder;
    const std::string path = folder / name;
    if (fs::exists(path))
        return path;
    const std::string duration = name == "long.flv" ? "60" : "1";
    Args argv = {Tool("ffmpeg"),
                 "-loglevel",
                 "error",
                 "-f",
                 "lavfi",
                 "-i",
                 "testsrc=size=161x121:rate=25:duration=" + duration,
                 "-f",
                 "lavfi",
                 "-i",
                 "sine=sample_rate=44100:duration=" + duration,
                 "-c:v",
                 "flv1",
                 "-c:a",
                 "libmp3lame",
                 "-ac",
                 "2",
                 path};
    if (name == "silent.flv")
        argv.insert(argv.end() - 1, "-an");
    if (RunProgram(argv).code != 0)
        throw std::runtime_error("cannot make " + path);
    return path;
}

// What ffprobe reads, a line each: "codec|video|width|height", "codec|audio|rate|channels",
// then "format" or "format|brand". Empty for what is no media.
std::string Probe(const std::string& path)
{
    return RunProgram({Tool("ffprobe"), "-v", "error", "-of", "compact=p=0:nk=1", "-show_entries",
                       "format=format_name:format_tags=major_brand:stream=codec_name,codec_type,width,height,"
                       "sample_rate,channels",
                       path})
        .out;
}

Args Encode(const Args& options)
{
    Args argv = {kOstrand, "converter.exe"};
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
}

// The kinds of target the encoder tells apart: the extension, and the PSP by its profile.
std::string KindOf(const std::string& profileName, const std::string& extension)
{
    return extension + (profileName == kPspProfileName ? " psp" : "");
}

// What each kind must hold: video codec (AVI's is the one chosen), audio codec, format|brand.
const std::map<std::string, std::array<std::string, 3>> kHolds = {
    {".mp4", {"h264", "aac", "mov,mp4,m4a,3gp,3g2,mj2|isom"}},
    {".mp4 psp", {"h264", "aac", "mov,mp4,m4a,3gp,3g2,mj2|MSNV"}},
    {".wmv", {"wmv2", "adpcm_ima_wav", "asf"}},
    {".avi", {"", "mp3", "avi"}},
    {".3gp", {"h263", "amr_nb", "mov,mp4,m4a,3gp,3g2,mj2|3gp4"}},
};

// Built on first use: the catalogue's own tables are not ready while globals are made.
const std::vector<ConvertProfile>& Catalogue()
{
    static const std::vector<ConvertProfile> catalogue = BuildProfileCatalogue(CatalogueProgram::Pellux);
    return catalogue;
}
constexpr OptionBox OptionBoxes::*kBoxes[] = {&OptionBoxes::m_size, &OptionBoxes::m_videoBitRate,
                                              &OptionBoxes::m_audioBitRate, &OptionBoxes::m_videoCodec};

// The conversions of one profile. Each takes in every box the first value that no
// earlier conversion of the same kind (whose encoder arguments for it are the same) has
// taken, so every offered value is converted, and every profile at least once.
std::vector<ConvertJob> JobsFor(std::size_t wanted)
{
    std::set<std::string> taken;
    for (std::size_t p = 0;; ++p) {
        const ConvertProfile& profile = Catalogue().at(p);
        const std::string kind = KindOf(profile.m_csName, profile.m_csExtension);
        std::vector<ConvertJob> jobs;
        for (bool fresh = true; fresh;) {
            OptionBoxes boxes = FillOptionBoxes(profile);
            fresh = false;
            for (std::size_t b = 0; b < std::size(kBoxes); ++b) {
                OptionBox& box = boxes.*kBoxes[b];
                const auto item =
                    std::find_if(box.m_items.begin(), box.m_items.end(), [&](const std::string& value) {
                        return taken.insert(kind + std::to_string(b) + value).second;
                    });
                if (item == box.m_items.end())
                    continue;
                box.m_nSelected = static_cast<int>(item - box.m_items.begin());
                fresh = true;
            }
            if (fresh || jobs.empty())
                ReadJobFromSelection(jobs.emplace_back(), &profile, SelectedOptions(boxes));
        }
        if (p == wanted)
            return jobs;
    }
}

class ProfileConversion : public testing::TestWithParam<std::size_t> {};

TEST_P(ProfileConversion, EveryOfferedChoiceGivesTheIntendedFile)
{
    TempFolder folder;
    int run = 0;
    for (ConvertJob& job : JobsFor(GetParam())) {
        const auto& [video, audio, format] = kHolds.at(KindOf(job.m_csTargetName, job.m_csTargetType));
        // The PSP's container needs sound: every other run makes it for a source without.
        const bool silent = job.m_csTargetName == kPspProfileName && run % 2 == 1;
        job.m_csSourceFile = Clip(silent ? "silent.flv" : "clip.flv");
        job.m_csTargetFile = folder / ("out" + std::to_string(run++) + job.m_csTargetType);
        const std::string context = job.m_csTargetName + " with " + BuildEncoderCommandLine(job);
        RunResult r = RunProgram(BuildEncoderArguments(job, kOstrand));
        ASSERT_EQ(r.code, 0) << context << "\n" << r.err;

        std::string size = job.m_csVideoSize == "Auto" ? "160x120" : job.m_csVideoSize;  // odd source cropped
        std::replace(size.begin(), size.end(), 'x', '|');
        EXPECT_EQ(Probe(job.m_csTargetFile), (video.empty() ? job.m_csVideoCodec : video) + "|video|" + size +
                                                 "\n" + audio + "|audio|" + job.m_csAudioSampleRate + "|" +
                                                 job.m_csAudioChannel + "\n" + format + "\n")
            << context;
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ProfileConversion, testing::Range<std::size_t>(0, Catalogue().size()));

TEST(EncoderRun, FailuresAndRefusals)
{
    TempFolder out;
    const std::string clip = Clip("clip.flv");
    const std::tuple<Args, int, const char*> cases[] = {
        // ffmpeg starts writing before the codec refuses the size.
        {Encode({"-i", clip, "-vcodec", "h263", "-s", "320x240", out / "a.3gp"}), 1, "ffmpeg exit status"},
        // The probe finds the source missing before ffmpeg runs.
        {Encode({"-i", out / "missing.flv", "-f", "psp", out / "b.mp4"}), 1, "cannot read the source"},
        {{Tool("env"), "PATH=" + out.path, kOstrand, "converter.exe", "-i", clip, out / "c.mp4"},
         3,
         "ffmpeg program"},
        {Encode({"-i", clip, "-s", "Auto", out / "d.mp4"}), 2, "usage: ostrand"},
        {Encode({"-i", out / "e.flv", "-s", "320x240", out.path + "/./e.flv"}), 2, "the source file itself"},
    };
    for (const auto& [argv, code, message] : cases) {
        WriteFile(argv.back(), ReadFile(clip));
        RunResult r = RunProgram(argv);
        EXPECT_EQ(r.code, code) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        // Bad arguments change nothing; a failed conversion leaves no target behind.
        EXPECT_EQ(fs::exists(argv.back()), code == 2) << message;
    }
}

TEST(EncoderRun, NamesThatLookLikeOptionsOrProtocolsAndAnExistingTarget)
{
    TempFolder out;
    WriteFile(out / "-clip.flv", ReadFile(Clip("clip.flv")));
    WriteFile(out / "file:clip.flv", ReadFile(Clip("clip.flv")));
    WriteFile(out / "-out.avi", std::string(200000, 'J'));  // always overwritten
    for (auto [source, target] :
         {std::pair{"-clip.flv", "pipe:1.avi"}, std::pair{"file:clip.flv", "-out.avi"}}) {
        RunResult r =
            RunProgram({Tool("env"), "-C", out.path, kOstrand, "converter.exe", "-i", source, target});
        ASSERT_EQ(r.code, 0) << source << " -> " << target << "\n" << r.err;
        EXPECT_TRUE(Probe(out / target).starts_with("mpeg4|video|160|120\n")) << target;
    }
}

TEST(EncoderRun, ThreeGpWithoutTheAmrEncoderUsesAac)
{
    // An ffmpeg that lists no AMR-NB encoder, as one without the extra codecs would.
    TempFolder bin;
    WriteFile(bin / "ffmpeg",
              "#!/bin/sh\n"
              "for a in \"$@\"; do\n"
              "  if [ \"$a\" = -encoders ]; then \"" +
                  Tool("ffmpeg") +
                  "\" \"$@\" | grep -v libopencore_amrnb; exit 0; fi\n"
                  "done\n"
                  "exec \"" +
                  Tool("ffmpeg") + "\" \"$@\"\n");
    chmod((bin / "ffmpeg").c_str(), 0755);
    RunResult r = RunProgram({Tool("env"), "PATH=" + bin.path + ":" + ProgramSearchPath(), kOstrand,
                              "converter.exe", "-i", Clip("clip.flv"), "-s", "176x144", "-ar", "8000", "-ab",
                              "4.75k", "-ac", "1", bin / "a.3gp"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Probe(bin / "a.3gp"), "h263|video|176|144\naac|audio|8000|1\nmov,mp4,m4a,3gp,3g2,mj2|3gp4\n");
}

TEST(EncoderRun, FindsProgramsLikeAShell)
{
    TempFolder folder;
    const std::string bin = folder / "bin";
    fs::create_directories(bin);
    fs::create_directory(folder / "dir");
    WriteFile(folder / "tool", "not executable");
    WriteFile(bin + "/tool", "#!/bin/sh\n");
    chmod((bin + "/tool").c_str(), 0755);
    EXPECT_EQ(FindProgram("tool", folder.path + ":" + bin), bin + "/tool");
    EXPECT_EQ(FindProgram("dir", folder.path), std::nullopt);
    EXPECT_EQ(FindProgram("tool", "/nonexistent::" + bin), bin + "/tool");
    EXPECT_EQ(FindProgram(bin + "/tool", ""), bin + "/tool");
}

// A conversion long enough to be caught in the middle: 1280x720 H.264 from 60 s.
class EncoderStop : public testing::Test {
protected:
    void SetUp() override
    {
        // Orphans are handed to this process, so a child left behind can be seen and reaped.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        m_encoder = Spawn(Encode({"-i", Clip("long.flv"), "-s", "1280x720", m_target}));
        // Only ffmpeg writes the target, and it is the encoder's only child by then.
        std::error_code missing;
        for (auto until = std::chrono::steady_clock::now() + 60s;
             std::chrono::steady_clock::now() < until &&
             (fs::file_size(m_target, missing) == 0 || missing);) {
            std::this_thread::sleep_for(20ms);
        }
        const std::string encoder = "/proc/" + std::to_string(m_encoder);
        std::istringstream(ReadFile(encoder + "/task/" + std::to_string(m_encoder) + "/children")) >>
            m_ffmpeg;
        ASSERT_TRUE(ReadFile("/proc/" + std::to_string(m_ffmpeg) + "/comm").starts_with("ffmpeg"))
            << "ffmpeg never started writing";
    }

    void TearDown() override
    {
        if (m_encoder > 0 && kill(m_encoder, SIGKILL) == 0)
            waitpid(m_encoder, nullptr, 0);
        if (m_ffmpeg > 0 && waitpid(m_ffmpeg, nullptr, WNOHANG) == 0) {
            kill(m_ffmpeg, SIGKILL);
            waitpid(m_ffmpeg, nullptr, 0);
        }
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }

    TempFolder m_folder;
    const std::string m_target = m_folder / "long.mp4";
    pid_t m_encoder = -1;
    pid_t m_ffmpeg = -1;
};

TEST_F(EncoderStop, KillingTheEncoderEndsFfmpeg)
{
    ASSERT_EQ(kill(m_encoder, SIGKILL), 0);
    EXPECT_EQ(WaitFor(m_encoder, 10s), -SIGKILL);
    // ffmpeg is now our orphan: the kernel must have ended it with the encoder.
    EXPECT_EQ(WaitFor(m_ffmpeg, 10s), -SIGKILL) << "ffmpeg outlived the encoder";
}

TEST_F(EncoderStop, TerminatingTheEncoderStopsTheConversion)
{
    ASSERT_EQ(kill(m_encoder, SIGTERM), 0);
    EXPECT_EQ(WaitFor(m_encoder, 10s), 128 + SIGTERM) << "the encoder did not stop";
    EXPECT_NE(kill(m_ffmpeg, 0), 0) << "the encoder left ffmpeg behind";
    EXPECT_FALSE(fs::exists(m_target));
}

}  // namespace
