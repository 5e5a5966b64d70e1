// The encoder's pure rules: reading its command line, translating it for ffmpeg,
// reading what the source, ffprobe and ffmpeg tell, and what it reports back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <tuple>
#include <variant>

#include "encoder/ArgumentTranslation.h"
#include "encoder/FailureReason.h"
#include "encoder/FfmpegListing.h"
#include "encoder/FfmpegProgress.h"
#include "encoder/FlvHead.h"
#include "encoder/ProfileAvailability.h"
#include "encoder/ProgressChannel.h"
#include "encoder/SourceProbe.h"

namespace {

using Args = std::vector<std::string>;

Args Words(const std::string& text)
{
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

// "converter.exe -i s.flv OPTIONS TARGET"; a refusal throws.
EncoderOptions Parse(const std::string& options, const std::string& target)
{
    Args args = Words("converter.exe -i s.flv " + options);
    args.push_back(target);
    return std::get<EncoderOptions>(ParseEncoderOptions(args));
}

TEST(EncoderOptions, HelpVersionAndTheListingAreAskedByTheirWordAlone)
{
    const std::pair<Args, EncoderRequest> cases[] = {
        {{"--help"}, EncoderRequest::Help},
        {{"converter.exe", "--version"}, EncoderRequest::Version},
        {{"-list-profiles"}, EncoderRequest::ListProfiles},
        // A target that happens to be named so is still a target.
        {{"-i", "a.flv", "--help"}, EncoderRequest::Convert},
        {{"-list-profiles", "-h"}, EncoderRequest::Convert},
        {{}, EncoderRequest::Convert},
    };
    for (const auto& [args, request] : cases)
        EXPECT_EQ(RequestOf(args), request) << (args.empty() ? "(none)" : args.back());
}

TEST(EncoderOptions, ARefusalStillNamesTheProgressChannel)
{
    // Wherever the descriptor stands, even after the fault, the refusal can reach it.
    const std::pair<Args, std::optional<int>> cases[] = {
        {Words("converter.exe -progress-fd 4 -i a.flv -r 25 out.mp4"), 4},
        {Words("converter.exe -i a.flv -r 25 -progress-fd 5 out.mp4"), 5},
        {Words("converter.exe -progress-fd x -i a.flv out.mp4"), std::nullopt},
    };
    for (const auto& [args, fd] : cases) {
        const auto parsed = ParseEncoderOptions(args);
        ASSERT_TRUE(std::holds_alternative<OptionError>(parsed)) << args[1];
        EXPECT_EQ(std::get<OptionError>(parsed).progressFd, fd) << args[2];
    }
}

TEST(EncoderOptions, PathsAreNeverTakenForOptions)
{
    // The fixed first word is optional; paths that look like options stay paths.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"-i -s.flv -b", "-s.flv", "-b"},
        {"converter.exe -i -i -ac", "-i", "-ac"},
        {"converter.exe -i x:y.flv converter.exe", "x:y.flv", "converter.exe"},
    };
    for (auto [args, source, target] : cases) {
        const auto parsed = std::get<EncoderOptions>(ParseEncoderOptions(Words(args)));
        EXPECT_EQ(parsed.source, source);
        EXPECT_EQ(parsed.target, target);
    }
}

TEST(EncoderOptions, RefusesWhatItCannotMeanWithAReason)
{
    const std::pair<Args, const char*> cases[] = {
        {{}, "no source"},
        {{"converter.exe", "-i", "in.flv", "-s", "out.mp4"}, "needs a value"},
        {{"converter.exe", "-i", "in.flv", "stray", "out.mp4"}, "unexpected argument"},
        {{"converter.exe", "-i", "in.flv", "-r", "25", "out.mp4"}, "unknown option -r"},
        {{"converter.exe", "-i", "a.flv", "-i", "b.flv", "out.mp4"}, "given twice"},
        {{"converter.exe", "-i", "", "out.mp4"}, "source path is empty"},
        {{"converter.exe", "-i", "in.flv", ""}, "target path is empty"},
        {{"converter.exe", "-i", "in.flv", "-s", "99999x240", "out.mp4"}, "WIDTHxHEIGHT"},
        {{"converter.exe", "-i", "in.flv", "-b", "fast", "out.mp4"}, "bit rate"},
        {{"converter.exe", "-i", "in.flv", "-vcodec", "-filter", "out.mp4"}, "codec name"},
        {{"converter.exe", "-progress-fd", "-1", "-i", "in.flv", "out.mp4"}, "descriptor number"},
    };
    for (const auto& [args, reason] : cases) {
        auto parsed = ParseEncoderOptions(args);
        ASSERT_TRUE(std::holds_alternative<OptionError>(parsed)) << (args.empty() ? "(none)" : args.back());
        EXPECT_NE(std::get<OptionError>(parsed).message.find(reason), std::string::npos)
            << std::get<OptionError>(parsed).message;
    }
}

TEST(EncoderOptions, BitRatesInTheOptionLanguage)
{
    const std::pair<const char*, std::optional<long long>> cases[] = {
        {"4.75k", 4750},
        {"64000", 64000},
        {"2M", 2000000},
        {"5.15K", 5150},
        {"", std::nullopt},
        {"1.k", std::nullopt},
        {".5k", std::nullopt},
        {"64kb", std::nullopt},
        {"0k", std::nullopt},
        {"1e3", std::nullopt},
        {"9999999999k", std::nullopt},
    };
    for (const auto& [text, bits] : cases)
        EXPECT_EQ(ParseBitRate(text), bits) << text;
}

// A source of which the streams are known, with its frame size and duration.
SourceInfo Known(bool video, FrameSize size, bool audio, double duration = 0)
{
    return {true, video, audio, size, duration};
}

TEST(ArgumentTranslation, TranslatesEachProfileFamily)
{
    const std::string crop = "-vf crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0";
    const std::string front = " -movflags +faststart";
    // The options, the target, what is known of the source, and the arguments between
    // "-i SOURCE" and the target.
    const std::tuple<std::string, const char*, SourceInfo, std::string> cases[] = {
        // The players of MP4 files take MPEG-4 Simple profile and AAC, the index first;
        // -b and -ab become per-stream rates; an odd size asked for is rounded down.
        {"-s 321x241 -b 1200k -ar 44100 -ab 64k -ac 2",
         "x.mp4",
         {},
         "-c:v mpeg4 -s 320x240 -b:v 1200k -c:a aac -ar 44100 -b:a 64k -ac 2" + front},
        {"-vcodec libx264 -acodec mp3 -s 320x240", "x.M4V", {}, "-c:v libx264 -s 320x240 -c:a mp3" + front},
        // The ADPCM bit rate follows from the sample rate and is left off.
        {"-vcodec wmv2 -acodec adpcm_ima_wav -ar 48000 -ab 128k",
         "x.wmv",
         {},
         "-c:v wmv2 " + crop + " -c:a adpcm_ima_wav -ar 48000"},
        // A kept size that is known and even needs no filter; an odd or unknown one is cropped.
        {"-vcodec wmv2 -b 1200k", "x.avi", Known(true, {320, 240}, true),
         "-c:v wmv2 -b:v 1200k -c:a libmp3lame"},
        {"-vcodec wmv2", "x.avi", SourceInfo{false, false, false, {320, 240}, 0},
         "-c:v wmv2 -c:a libmp3lame"},
        {"-vcodec mpeg4", "x.avi", Known(true, {320, 241}, true), "-c:v mpeg4 " + crop + " -c:a libmp3lame"},
        {"-vcodec copy -b 512k", "x.avi", {}, "-c:v copy -b:v 512k -c:a libmp3lame"},
        {"-f psp", "x.mp4", Known(true, {161, 120}, true), "-f psp -c:v mpeg4 " + crop + " -c:a aac" + front},
        // 3GP speaks AMR-NB at its nearest rate, and needs MPEG-4 video for sizes H.263 cannot code.
        {"-s 176x144 -b 120k -ar 8000 -ab 6k -ac 1",
         "x.3gp",
         {},
         "-c:v h263 -s 176x144 -b:v 120k -c:a libopencore_amrnb -ar 8000 -b:a 5900 -ac 1" + front},
        {"", "x.3gp", Known(true, {160, 120}, false),
         "-c:v mpeg4 -c:a libopencore_amrnb -ar 8000 -ac 1" + front},
        // An odd source size is coded one pixel smaller, which H.263 can code.
        {"", "x.3gp", Known(true, {177, 145}, true),
         "-c:v h263 " + crop + " -c:a libopencore_amrnb -ar 8000 -ac 1" + front},
        {"-s 176x144 -ar 44100 -ac 2", "x.3gp", {}, "-c:v h263 -s 176x144 -c:a aac -ar 44100 -ac 2" + front},
        {"-vcodec h263 -s 320x240 -acodec aac", "x.3gp", {}, "-c:v h263 -s 320x240 -c:a aac" + front},
    };
    for (const auto& [options, target, source, arguments] : cases) {
        Args expected = Words("-hide_banner -loglevel error -nostats -nostdin -y -i /in/s.flv " + arguments);
        expected.push_back(std::string("/out/") + target);
        EXPECT_EQ(TranslateArguments({Parse(options, target), "/in/s.flv", expected.back(), source}),
                  expected)
            << options << " " << target;
    }
}

TEST(ArgumentTranslation, AProgressChannelHasFfmpegReportOnItsOutput)
{
    const Args args =
        TranslateArguments({Parse("-progress-fd 7 -s 320x240", "x.mp4"), "/s.flv", "/t.mp4", {}});
    const Args start(args.begin(), args.begin() + 10);
    EXPECT_EQ(start, Words("-hide_banner -loglevel error -nostats -nostdin -y -progress pipe:1 -i /s.flv"));
}

TEST(ArgumentTranslation, ChoosesTheContainerAndWhatTheSourceMustTell)
{
    // The options, the target, its container, and what is needed: streams, frame size, duration.
    const std::tuple<const char*, const char*, Container, bool, bool, bool> cases[] = {
        {"-s 320x240", "A.MP4", Container::Mp4, false, false, false},
        {"-f PSP -s 320x240", "a.avi", Container::Psp, true, false, false},
        {"-vcodec wmv2", "a.wmv", Container::Asf, false, true, false},
        {"-vcodec copy", "a.avi", Container::Avi, false, false, false},
        {"-ar 8000 -progress-fd 3", "a.3gp", Container::ThreeGp, false, true, true},
        {"-s 176x144", "dir.3gp/a", Container::Other, false, false, false},
    };
    for (const auto& [options, target, container, streams, frameSize, duration] : cases) {
        const EncoderOptions parsed = Parse(options, target);
        EXPECT_EQ(ContainerFor(parsed), container) << options << " " << target;
        const SourceNeeds needs = SourceNeedsOf(parsed);
        EXPECT_EQ(std::tie(needs.streams, needs.frameSize, needs.duration),
                  std::tie(streams, frameSize, duration))
            << options << " " << target;
    }
}

TEST(ArgumentTranslation, ProbesOnlyForWhatTheFlvHeadLeavesOpen)
{
    const SourceNeeds all{true, true, true};
    const std::tuple<SourceInfo, SourceNeeds, bool> cases[] = {
        {Known(true, {320, 240}, true, 60), all, false},
        {SourceInfo{false, true, false, {320, 240}, 60}, all, true},  // streams not known
        {Known(true, {}, true, 60), {false, true, false}, true},
        {Known(true, {320, 240}, true, 0), {false, false, true}, true},
        {SourceInfo{}, {}, false},
    };
    for (const auto& [known, needs, probe] : cases)
        EXPECT_EQ(LeavesOpen(known, needs), probe) << known.videoSize.width << " " << known.duration;
}

TEST(ArgumentTranslation, SizesAndRatesOfTheOldCodecs)
{
    EXPECT_TRUE(IsH263Size({128, 96}) && IsH263Size({1408, 1152}));
    EXPECT_FALSE(IsH263Size({96, 128}) || IsH263Size({320, 240}));
    const std::pair<long long, long long> rates[] = {
        {1, 4750}, {5000, 5150}, {7700, 7950}, {9000, 7950}, {9100, 10200}, {12200, 12200}, {64000, 12200}};
    for (auto [asked, expected] : rates)
        EXPECT_EQ(NearestAmrBitRate(asked), expected) << asked;
}

TEST(ProbeParsing, ReadsStreamsAndDurationOfTheSource)
{
    const std::pair<const char*, SourceInfo> cases[] = {
        // The first video stream gives the size.
        {"codec_type=audio\ncodec_type=video|width=161|height=121\ncodec_type=video|width=80|height=60\n"
         "duration=12.500000",
         Known(true, {161, 121}, true, 12.5)},
        {"codec_type=audio\r\nduration=N/A\r\n", Known(false, {}, true)},
        {"codec_type=video|width=N/A|height=N/A\n", Known(true, {}, false)},
        {"codec_type=data\ncodec_type=subtitle\nduration=-3\n", Known(false, {}, false)},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseProbeOutput(text), expected) << text;
}

// An FLV file's first bytes: the header with its stream flags, the first "previous tag
// size", then a tag of `type` holding `data`.
std::string FlvHead(unsigned char flags, const std::string& data, unsigned char type = 18)
{
    using namespace std::string_literals;
    const auto size = data.size();
    std::string tag = {static_cast<char>(type), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                       static_cast<char>(size)};
    return "FLV\x01"s + static_cast<char>(flags) + "\0\0\0\x09"s + "\0\0\0\0"s + tag + "\0\0\0\0\0\0\0"s +
           data;
}

// AMF0 values as the onMetaData tag writes them.
std::string Text(const std::string& text)
{
    return std::string{static_cast<char>(text.size() >> 8), static_cast<char>(text.size())} + text;
}

std::string Number(double value)
{
    std::string bytes(1, '\0');
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<char>(bits >> shift));
    return bytes;
}

std::string Metadata(const std::string& pairs, char container = '\x08')
{
    using namespace std::string_literals;
    std::string head = "\x02"s + Text("onMetaData") + container;
    if (container == '\x08')
        head += "\0\0\0\x03"s;
    return head + pairs + "\0\0\x09"s;
}

TEST(FlvHead, ReadsStreamsSizeAndDurationWhereTheyAreTold)
{
    using namespace std::string_literals;
    const std::string all =
        Text("duration") + Number(60.5) + Text("width") + Number(320) + Text("height") + Number(240);
    // Values of other kinds before ours, nested deep, are stepped over.
    const std::string others = Text("title") + "\x02"s + Text("a clip") + Text("keyframes") + "\x03"s +
                               Text("times") + "\x0A\0\0\0\x02"s + Number(0) + Number(2) + "\0\0\x09"s +
                               Text("live") + "\x01\x00"s + Text("none") + "\x05"s;
    const std::pair<std::string, std::optional<SourceInfo>> cases[] = {
        {FlvHead(0x05, Metadata(all)), Known(true, {320, 240}, true, 60.5)},
        {FlvHead(0x05, Metadata(others + all)), Known(true, {320, 240}, true, 60.5)},
        {FlvHead(0x05, Metadata(all, '\x03')), Known(true, {320, 240}, true, 60.5)},
        // Picture only: the flags are not trusted; the rest is.
        {FlvHead(0x01, Metadata(all)), SourceInfo{false, true, false, {320, 240}, 60.5}},
        // Cut short within the width: what came before stands.
        {FlvHead(0x05, Metadata(all)).substr(0, 75), Known(true, {}, true, 60.5)},
        {FlvHead(0x05, Metadata(Text("width") + Number(320.5) + Text("height") + Number(240) +
                                Text("duration") + Number(0))),
         Known(true, {}, true)},
        {FlvHead(0x05, Metadata(all), 9), Known(true, {}, true)},  // no script tag first
        {FlvHead(0x05, "\x02"s + Text("onCuePoint") + "\x08\0\0\0\0"s + all), Known(true, {}, true)},
        {FlvHead(0x05, "").substr(0, 9), Known(true, {}, true)},
        {"FLV\x01"s, std::nullopt},
        {"RIFF\x05\0\0\0\x09"s, std::nullopt},
    };
    for (const auto& [head, expected] : cases)
        EXPECT_EQ(SourceInfoFromFlvHead(head), expected) << head.size();
}

TEST(ProbeParsing, ReadsTheNamesOfAListingBelowItsRule)
{
    EXPECT_EQ(ParseFfmpegListing("Encoders:\n V..... = Video\n ------\n V....D libx264   H.264\n"
                                 "  E sdl,sdl2   SDL2 output device\n"),
              (Args{"libx264", "sdl", "sdl2"}));
}

TEST(FfmpegProgress, ReportsThePositionOfEachFinishedBlock)
{
    FfmpegProgress progress;
    // The report arrives cut anywhere; a block counts once its "progress=" line is whole.
    const std::pair<const char*, std::optional<double>> chunks[] = {
        {"frame=1\nout_time_us=N/A\nprogress=continue\n", std::nullopt},
        {"frame=12\nout_time_us=5000", std::nullopt},
        {"00\nout_time=00:00:00.5\nprogr", std::nullopt},
        {"ess=continue\r\n", 0.5},
        {"out_time_us=1000000\nprogress=continue\nout_time_us=-20\nprogress=continue\n", 0.0},
        {"out_time_us=2500000\nprogress=end\n", 2.5},
    };
    for (const auto& [chunk, position] : chunks)
        EXPECT_EQ(progress.Feed(chunk), position) << chunk;
}

TEST(ProgressChannel, FiguresLinesAndReasons)
{
    const std::tuple<double, double, double, std::string> cases[] = {
        {0, 60, 0, "progress 0 - 0.0\n"},        {15, 60, 5, "progress 25 15 15.0\n"},
        {59.99, 60, 10, "progress 99 1 60.0\n"},  // 100 only when the end is confirmed
        {61.2, 60, 10, "progress 99 0 61.2\n"},   // ffmpeg's position may overshoot
        {12.34, 0, 3, "progress - - 12.3\n"},     // length unknown
        {-1, 60, 1, "progress 0 - 0.0\n"},
    };
    for (const auto& [position, duration, elapsed, line] : cases)
        EXPECT_EQ(ProgressLine(EstimateProgress(position, duration, elapsed)), line) << position;
    EXPECT_EQ(FailedLine("Invalid data\r\nfound\twhen"), "failed Invalid data  found when\n");
}

// What a reader of the channel gets.
class ProgressChannelLines : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(pipe(m_pipe), 0);
        std::string why;
        ASSERT_TRUE(m_channel.Attach(m_pipe[1], &why)) << why;
    }
    void TearDown() override
    {
        close(m_pipe[0]);
        close(m_pipe[1]);
    }
    std::string Read()
    {
        char buffer[4096];
        const ssize_t n = read(m_pipe[0], buffer, sizeof buffer);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }

    int m_pipe[2] = {-1, -1};
    ProgressChannel m_channel;
    const ProgressChannel::Clock::time_point m_start{};
};

TEST_F(ProgressChannelLines, AtMostFourASecondNeverFallingAndTheLastBeforeDone)
{
    using std::chrono::milliseconds;
    m_channel.Start(10, m_start);
    for (auto [at, position] : {std::pair{100, 1.0}, {400, 2.0}, {500, 2.2}, {800, 1.5}, {1200, 5.0}})
        m_channel.Position(position, m_start + milliseconds(at));
    m_channel.Done();
    EXPECT_EQ(Read(),
              "progress 0 - 0.0\nprogress 20 2 2.0\nprogress 20 4 2.0\nprogress 50 2 5.0\n"
              "progress 100 0 10.0\ndone\n");
}

TEST_F(ProgressChannelLines, AReaderThatIsGoneEndsNothing)
{
    close(m_pipe[0]);
    m_pipe[0] = -1;
    m_channel.Start(10, m_start);
    m_channel.Failed("disk full");  // must neither block nor end the process
    EXPECT_FALSE(m_channel.IsOpen());
}

TEST_F(ProgressChannelLines, TakesOnlyADescriptorOpenForWriting)
{
    std::string why;
    ProgressChannel other;
    EXPECT_FALSE(other.Attach(m_pipe[0], &why));
    EXPECT_NE(why.find("not open for writing"), std::string::npos);
}

TEST(FailureReason, OneLineFromWhatFfmpegSaid)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Unknown encoder 'wmv2'\n", "needs the wmv2 encoder"},
        {"Unknown encoder 'libopencore_amrnb'\n", "needs AMR-NB support"},
        {"av_interleaved_write_frame(): No space left on device\nError writing trailer", "disk full"},
        {"\n  [mp4 @ 0x55d0c1a0] Could not find tag for codec\nmore\n", "Could not find tag for codec"},
        {"/v/a.flv: Invalid data found when processing input\n",
         "/v/a.flv: Invalid data found when processing input"},
        {"[bracketed] text\n", "[bracketed] text"},
        {"\n \n", ""},
    };
    for (const auto& [errors, reason] : cases)
        EXPECT_EQ(ReasonFromFfmpegErrors(errors), reason) << errors;
    // ffmpeg ends with status 0 when only the end of the file could not be written.
    EXPECT_TRUE(ReportsLostOutput("Error writing trailer of /v/a.avi: No space left on device\n"));
    EXPECT_FALSE(ReportsLostOutput("[h264 @ 0x1] error while decoding MB 3 4\n"));
}

TEST(ProfileAvailability, ReasonsAndListingLines)
{
    const ProfileNeeds threeGp{{"h263", "libopencore_amrnb"}, {"3gp"}};
    EXPECT_EQ(MissingFor(threeGp, {"h263", "libopencore_amrnb"}, {"3gp"}), "");
    EXPECT_EQ(MissingFor(threeGp, {"h263"}, {"3gp"}), "needs AMR-NB support");
    EXPECT_EQ(MissingFor(threeGp, {"libopencore_amrnb"}, {}), "needs the h263 encoder, needs the 3gp muxer");
    EXPECT_EQ(ListingLine("AVI (*.avi)", ""), "ok\tAVI (*.avi)\n");
    EXPECT_EQ(ListingLine("AVI (*.avi)", "needs the wmv2 encoder"),
              "unavailable\tAVI (*.avi)\tneeds the wmv2 encoder\n");
}

}  // namespace
