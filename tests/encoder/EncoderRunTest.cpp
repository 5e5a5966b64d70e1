// The encoder as a program: every converting profile end to end, the progress channel,
// sources of every kind, failures, odd paths, stop requests, and the machines it may
// meet (no ffmpeg, an ffmpeg without some encoder).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "convert/EncoderCommandLine.h"
#include "convert/ProfileCatalogue.h"
#include "encoder/ChildProcess.h"
#include "encoder/FfmpegProgress.h"
#include "encoder/ProfileAvailability.h"
#include "encoder/ProgramLookup.h"
#include "platform/Process.h"
#include "support/Eventually.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Args = std::vector<std::string>;

const std::string kOstrand = std::string(TAVOLIN_BIN_DIR) + "/ostrand";

std::string Tool(const char* name)
{
    return FindProgram(name, ProgramSearchPath()).value();
}

struct RunResult {
    int code;  // the exit status, or -1 when it did not end by itself
    std::string out, err;
};

// Runs argv (argv[0] a path) to its end, reading /dev/null; never through a shell.
RunResult RunProgram(const Args& argv)
{
    StopSignals stops;
    RunResult r{-1, "", ""};
    ChildOptions options;
    options.onOutput = [&r](std::string_view chunk) { r.out.append(chunk); };
    options.onError = [&r](std::string_view chunk) { r.err.append(chunk); };
    options.timeLimit = 120s;
    const ChildOutcome outcome = ChildProcess::Run(argv, stops, options);
    if (outcome.kind == ChildOutcome::Kind::Exited)
        r.code = outcome.code;
    return r;
}

Args Words(const std::string& text)
{
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

// Made once from ffmpeg's own sources, 161x121: Sorenson video and MP3 sound in FLV for
// "clip.flv", "silent.flv" (no sound) and "long.flv" (60 s); ffmpeg's defaults for
// "clip.mp4" and "nolength.webm", which, written as a stream, does not tell
// its length.
std::string Clip(const std::string& name)
{
    static TempFolder folder;
    const std::string path = folder.Path(name);
    const bool flv = name.ends_with(".flv"), streamed = name == "nolength.webm";
    const std::string seconds = name == "long.flv" ? "60" : "1";
    Args argv = Words(Tool("ffmpeg") + " -loglevel error -f lavfi -i testsrc=size=161x121:rate=25:duration=" +
                      seconds + " -f lavfi -i sine=sample_rate=" + (flv ? "44100" : "48000") +
                      ":duration=" + seconds + (flv ? " -c:v flv1 -c:a libmp3lame -ac 2" : "") +
                      (name == "silent.flv" ? " -an"
                       : streamed           ? " -f webm"
                                            : ""));
    argv.push_back(streamed ? "pipe:1" : path);
    if (fs::exists(path))
        return path;
    const RunResult made = RunProgram(argv);
    if (made.code != 0)
        throw std::runtime_error("cannot make " + path + ": " + made.err);
    if (streamed)
        WriteText(path, made.out);
    return path;
}

// What ffprobe reads of `entries`, a line each: by default "codec|video|width|height",
// "codec|audio|rate|channels", then "format" or "format|brand". Empty for what is no media.
std::string Probe(const std::string& path, const std::string& entries =
                                               "format=format_name:format_tags=major_brand:stream=codec_name,"
                                               "codec_type,width,height,sample_rate,channels")
{
    return RunProgram(
               {Tool("ffprobe"), "-v", "error", "-of", "compact=p=0:nk=1", "-show_entries", entries, path})
        .out;
}

// Whether an MP4-family file has its index ("moov") ahead of the media ("mdat"), so a
// player can start before it has read the whole file.
bool IndexComesFirst(const std::string& path)
{
    const std::string data = ReadText(path);
    return data.find("moov") < data.find("mdat");
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
    {".mp4", {"mpeg4", "aac", "mov,mp4,m4a,3gp,3g2,mj2|isom"}},
    {".mp4 psp", {"mpeg4", "aac", "mov,mp4,m4a,3gp,3g2,mj2|MSNV"}},
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
constexpr OptionBox OptionBoxes::*kBoxes[] = {&OptionBoxes::size, &OptionBoxes::videoBitRate,
                                              &OptionBoxes::audioBitRate, &OptionBoxes::videoCodec};

// The conversions of one profile. Each takes in every box the first value that no
// earlier conversion of the same kind (whose encoder arguments for it are the same) has
// taken, so every offered value is converted, and every profile at least once.
std::vector<ConvertJob> JobsFor(std::size_t wanted)
{
    std::set<std::string> taken;
    for (std::size_t p = 0;; ++p) {
        const ConvertProfile& profile = Catalogue().at(p);
        const std::string kind = KindOf(profile.name, profile.extension);
        std::vector<ConvertJob> jobs;
        for (bool fresh = true; fresh;) {
            OptionBoxes boxes = FillOptionBoxes(profile);
            fresh = false;
            for (std::size_t b = 0; b < std::size(kBoxes); ++b) {
                OptionBox& box = boxes.*kBoxes[b];
                const auto item =
                    std::find_if(box.items.begin(), box.items.end(), [&](const std::string& value) {
                        return taken.insert(kind + std::to_string(b) + value).second;
                    });
                if (item == box.items.end())
                    continue;
                box.selected = static_cast<int>(item - box.items.begin());
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
        job.m_csTargetFile = folder.Path("out" + std::to_string(run++) + job.m_csTargetType);
        const std::string context = job.m_csTargetName + " with " + BuildEncoderCommandLine(job);
        RunResult r = RunProgram(BuildEncoderArguments(job, kOstrand));
        ASSERT_EQ(r.code, 0) << context << "\n" << r.err;

        std::string size = job.m_csVideoSize == "Auto" ? "160x120" : job.m_csVideoSize;  // odd source cropped
        std::replace(size.begin(), size.end(), 'x', '|');
        EXPECT_EQ(Probe(job.m_csTargetFile), (video.empty() ? job.m_csVideoCodec : video) + "|video|" + size +
                                                 "\n" + audio + "|audio|" + job.m_csAudioSampleRate + "|" +
                                                 job.m_csAudioChannel + "\n" + format + "\n")
            << context;
        if (job.m_csTargetType == ".mp4") {
            // What devices check: codec, profile, B-frames, pixels, and the audio's profile.
            EXPECT_EQ(Probe(job.m_csTargetFile, "stream=codec_name,profile,has_b_frames,pix_fmt"),
                      "mpeg4|Simple Profile|0|yuv420p\naac|LC\n")
                << context;
        }
        if (job.m_csTargetType == ".mp4" || job.m_csTargetType == ".3gp") {
            EXPECT_TRUE(IndexComesFirst(job.m_csTargetFile)) << context;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ProfileConversion, testing::Range<std::size_t>(0, Catalogue().size()));

TEST(EncoderRun, FailuresAndRefusals)
{
    TempFolder out;
    const std::string clip = Clip("clip.flv");
    const std::tuple<Args, int, const char*> cases[] = {
        // ffmpeg starts writing before the codec refuses the size.
        {Encode({"-i", clip, "-vcodec", "h263", "-s", "320x240", out.Path("a.3gp")}), 1,
         "ffmpeg exit status"},
        {{Tool("env"), "PATH=" + out.Root(), kOstrand, "converter.exe", "-i", clip, out.Path("c.mp4")},
         3,
         "ffmpeg program"},
        {Encode({"-i", clip, "-s", "Auto", out.Path("d.mp4")}), 2, "Usage: ostrand"},
        {Encode({"-i", out.Path("e.flv"), "-s", "320x240", out.Root() + "/./e.flv"}), 2,
         "the source file itself"},
    };
    for (const auto& [argv, code, message] : cases) {
        WriteText(argv.back(), ReadText(clip));
        RunResult r = RunProgram(argv);
        EXPECT_EQ(r.code, code) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        // Bad arguments change nothing; a failed conversion leaves no target behind.
        EXPECT_EQ(fs::exists(argv.back()), code == 2) << message;
    }

    // A download holds its file exclusively while it writes it: no half file is converted.
    const std::string downloading = out.Path("f.flv");
    WriteText(downloading, ReadText(clip));
    const int held = open(downloading.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const RunResult r = RunProgram(Encode({"-i", downloading, "-f", "psp", out.Path("f.mp4")}));
    close(held);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("the source is still being downloaded"), std::string::npos) << r.err;
}

TEST(EncoderRun, NamesThatLookLikeOptionsOrProtocolsAndAnExistingTarget)
{
    TempFolder out;
    WriteText(out.Path("-clip.flv"), ReadText(Clip("clip.flv")));
    WriteText(out.Path("file:clip.flv"), ReadText(Clip("clip.flv")));
    WriteText(out.Path("-out.avi"), std::string(200000, 'J'));  // always overwritten
    for (auto [source, target] :
         {std::pair{"-clip.flv", "pipe:1.avi"}, std::pair{"file:clip.flv", "-out.avi"}}) {
        RunResult r =
            RunProgram({Tool("env"), "-C", out.Root(), kOstrand, "converter.exe", "-i", source, target});
        ASSERT_EQ(r.code, 0) << source << " -> " << target << "\n" << r.err;
        EXPECT_TRUE(Probe(out.Path(target)).starts_with("mpeg4|video|160|120\n")) << target;
    }
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The percent of a progress line, or "-".
std::string PercentOf(const std::string& line)
{
    std::istringstream in(line);
    std::string word, percent;
    in >> word >> percent;
    return percent;
}

TEST(EncoderRun, ReportsProgressAndTheOutcomeOnTheChannel)
{
    TempFolder out;
    const std::string ipod = "-s 320x240 -b 1200k -ar 44100 -ab 64k -ac 2";
    // The source, the options and the target, the exit status, the channel's last line,
    // and what the target holds: a 320x240 picture or the source's size cropped to even.
    const std::tuple<std::string, std::string, std::string, int, std::string, std::string> cases[] = {
        {Clip("long.flv"), ipod, out.Path("a.mp4"), 0, "done", "mpeg4|video|320|240"},
        {Clip("clip.mp4"), "-vcodec wmv2 -b 1200k -ar 44100 -ac 2", out.Path("b.avi"), 0, "done",
         "wmv2|video|160|120"},
        {Clip("nolength.webm"), ipod, out.Path("d.mp4"), 0, "done", "mpeg4|video|320|240"},
        {out.Path("missing.flv"), ipod, out.Path("e.mp4"), 1, "failed source not found", ""},
        // The real ffmpeg's word for an encoder it lacks.
        {Clip("clip.flv"), "-vcodec nosuch", out.Path("f.avi"), 1, "failed needs the nosuch encoder", ""},
        {Clip("clip.flv"), "-f avi", "/dev/full", 1, "failed disk full", ""},
    };
    for (const auto& [source, options, target, code, last, holds] : cases) {
        Args argv = Encode(Words("-progress-fd 1 -i " + source + " " + options + " " + target));
        const RunResult r = RunProgram(argv);
        EXPECT_EQ(r.code, code) << source << " " << options << "\n" << r.err;
        const std::vector<std::string> lines = Lines(r.out);
        ASSERT_FALSE(lines.empty()) << source << " " << options;
        EXPECT_EQ(lines.back(), last) << r.out;
        // Before the outcome only progress lines, their percent never falling.
        const bool lengthKnown = source.find("nolength") == std::string::npos;
        std::string percent = "0";
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            ASSERT_TRUE(lines[i].starts_with("progress ")) << r.out;
            const std::string next = PercentOf(lines[i]);
            if (lengthKnown) {
                EXPECT_LE(std::stoi(percent), std::stoi(next)) << r.out;
            } else {
                EXPECT_EQ(next, "-") << r.out;
            }
            percent = next;
        }
        if (code == 0) {
            EXPECT_EQ(percent, lengthKnown ? "100" : "-") << r.out;
            EXPECT_TRUE(Probe(target).starts_with(holds + "\n")) << source << "\n" << Probe(target);
        }
    }
}

TEST(EncoderRun, ReadsTheProgressReportOfTheInstalledFfmpeg)
{
    TempFolder out;
    const RunResult r = RunProgram({Tool("ffmpeg"), "-loglevel", "error", "-nostats", "-progress", "pipe:1",
                                    "-i", Clip("clip.flv"), out.Path("a.avi")});
    // Its last block tells where it ended: the end of the 1 s source.
    EXPECT_NEAR(FfmpegProgress().Feed(r.out).value_or(-1), 1.0, 0.2) << r.err << r.out;
}

// An ffmpeg without `encoder`, as a build lacking it behaves: missing from its listing,
// and refused by name when asked for.
std::string FfmpegWithout(const TempFolder& bin, const std::string& encoder)
{
    WriteText(bin.Path("ffmpeg"),
              "#!/bin/sh\n"
              "for a in \"$@\"; do\n"
              "  if [ \"$a\" = -encoders ]; then \"" +
                  Tool("ffmpeg") + "\" \"$@\" | grep -v ' " + encoder +
                  " '; exit 0; fi\n"
                  "  if [ \"$a\" = " +
                  encoder + " ]; then echo \"Unknown encoder '" + encoder +
                  "'\" >&2; exit 1; fi\n"
                  "done\n"
                  "exec \"" +
                  Tool("ffmpeg") + "\" \"$@\"\n");
    chmod(bin.Path("ffmpeg").c_str(), 0755);
    return "PATH=" + bin.Root() + ":" + ProgramSearchPath();
}

TEST(EncoderRun, AProfileFfmpegCannotMakeIsListedSo)
{
    // Without wmv2, WMV and AVI are listed with the reason, every other profile as one
    // the installed ffmpeg can make. (Its refusal to convert: the "nosuch" encoder.)
    const std::set<std::string> unavailable = {"WMV - Windows Media Video (*.wmv)",
                                               "AVI - Audio-Video Interleaved (*.avi)"};
    const std::string reason = "needs the wmv2 encoder";
    TempFolder bin;
    const std::string path = FfmpegWithout(bin, "wmv2");
    const RunResult list = RunProgram({Tool("env"), path, kOstrand, "-list-profiles"});
    EXPECT_EQ(list.code, 0) << list.err;
    std::string expected;
    for (const ConvertProfile& profile : BuildProfileCatalogue(CatalogueProgram::Tavolin))
        expected += ListingLine(profile.name, unavailable.contains(profile.name) ? reason : "");
    EXPECT_EQ(list.out, expected);
}

TEST(EncoderRun, FindsProgramsLikeAShell)
{
    TempFolder folder;
    const std::string tool = folder.Path("bin/tool");
    fs::create_directories(folder.Path("bin/dir"));
    WriteText(folder.Path("tool"), "not executable");
    WriteText(tool, "#!/bin/sh\n");
    chmod(tool.c_str(), 0755);
    EXPECT_EQ(FindProgram("tool", folder.Root() + ":" + folder.Path("bin")), tool);
    EXPECT_EQ(FindProgram("dir", folder.Path("bin")), std::nullopt);
    EXPECT_EQ(FindProgram("tool", "/nonexistent::" + folder.Path("bin")), tool);
    EXPECT_EQ(FindProgram(tool, ""), tool);
}

// A conversion long enough to be caught in the middle (1280x720 H.264 from 60 s), killed
// or terminated there: ffmpeg never outlives the encoder, and a stop leaves no target.
TEST(EncoderRun, KillingOrTerminatingTheEncoderEndsFfmpeg)
{
    // Orphans are handed to this process, so a child left behind can be seen and reaped.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    for (const int signal : {SIGKILL, SIGTERM}) {
        TempFolder folder;
        const std::string target = folder.Path("long.mp4");
        platform::Process encoder;
        ASSERT_TRUE(encoder.Start(Encode({"-i", Clip("long.flv"), "-s", "1280x720", target})));
        // Only ffmpeg writes the target, and it is the encoder's only child by then.
        std::error_code missing;
        ASSERT_TRUE(Eventually([&] { return fs::file_size(target, missing) > 0 && !missing; }, 60s));
        const std::string pid = std::to_string(encoder.Pid());
        pid_t ffmpeg = -1;
        std::istringstream(ReadText("/proc/" + pid + "/task/" + pid + "/children")) >> ffmpeg;
        ASSERT_TRUE(ReadText("/proc/" + std::to_string(ffmpeg) + "/comm").starts_with("ffmpeg"));

        ASSERT_EQ(kill(encoder.Pid(), signal), 0);
        ASSERT_TRUE(encoder.WaitFor(10s)) << "the encoder did not stop on " << signal;
        if (signal == SIGKILL) {
            EXPECT_EQ(encoder.Exit(), (platform::ProcessExit{-1, SIGKILL}));
            // ffmpeg is now our orphan: the kernel must have ended it with the encoder.
            int status = 0;
            EXPECT_TRUE(Eventually([&] { return waitpid(ffmpeg, &status, WNOHANG) == ffmpeg; }));
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "ffmpeg outlived the encoder";
        } else {
            EXPECT_EQ(encoder.Exit(), (platform::ProcessExit{128 + SIGTERM, 0}));
            EXPECT_NE(kill(ffmpeg, 0), 0) << "the encoder left ffmpeg behind";
            EXPECT_FALSE(fs::exists(target));
        }
        if (kill(ffmpeg, 0) == 0 && kill(ffmpeg, SIGKILL) == 0)
            waitpid(ffmpeg, nullptr, 0);  // one left behind must not outlive the test
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
