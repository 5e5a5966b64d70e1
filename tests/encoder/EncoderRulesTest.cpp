// The encoder's pure rules: reading its command line, translating it for ffmpeg, and
// reading what ffprobe and ffmpeg report.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <tuple>
#include <variant>

#include "encoder/ArgumentTranslation.h"
#include "encoder/EncoderList.h"
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

TEST(EncoderOptions, ReadsEveryOption)
{
    const EncoderOptions expected{"s.flv", "/v/a b.mp4",    "psp", "wmv2",  FrameSize{320, 240},
                                  "512k",  "adpcm_ima_wav", 24000, "4.75k", 2};
    EXPECT_EQ(Parse("-f psp -vcodec wmv2 -s 320x240 -b 512k -acodec adpcm_ima_wav -ar 24000 -ab 4.75k -ac 2",
                    "/v/a b.mp4"),
              expected);
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
        {{"converter.exe", "out.mp4"}, "no source given"},
        {{"converter.exe", "-i", "in.flv", "-s", "out.mp4"}, "needs a value"},
        {{"converter.exe", "-i", "in.flv", "stray", "out.mp4"}, "unexpected argument"},
        {{"converter.exe", "-i", "in.flv", "-r", "25", "out.mp4"}, "unknown option -r"},
        {{"converter.exe", "-i", "a.flv", "-i", "b.flv", "out.mp4"}, "given twice"},
        {{"converter.exe", "-i", "", "out.mp4"}, "source path is empty"},
        {{"converter.exe", "-i", "in.flv", ""}, "target path is empty"},
        {{"converter.exe", "-i", "in.flv", "-s", "Auto", "out.mp4"}, "WIDTHxHEIGHT"},
        {{"converter.exe", "-i", "in.flv", "-s", "0x240", "out.mp4"}, "WIDTHxHEIGHT"},
        {{"converter.exe", "-i", "in.flv", "-s", "99999x240", "out.mp4"}, "WIDTHxHEIGHT"},
        {{"converter.exe", "-i", "in.flv", "-b", "fast", "out.mp4"}, "bit rate"},
        {{"converter.exe", "-i", "in.flv", "-ar", "-44100", "out.mp4"}, "sample rate"},
        {{"converter.exe", "-i", "in.flv", "-vcodec", "-filter", "out.mp4"}, "codec name"},
        {{"converter.exe", "-i", "in.flv", "-acodec", "a,b", "out.mp4"}, "codec name"},
        {{"converter.exe", "-i", "in.flv", "-f", "", "out.mp4"}, "format name"},
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
        {"1200k", 1200000},     {"4.75k", 4750},
        {"64000", 64000},       {"2M", 2000000},
        {"5.15K", 5150},        {"", std::nullopt},
        {"k", std::nullopt},    {"1.k", std::nullopt},
        {".5k", std::nullopt},  {"-64k", std::nullopt},
        {"64kb", std::nullopt}, {"0k", std::nullopt},
        {"1e3", std::nullopt},  {"9999999999k", std::nullopt},
    };
    for (const auto& [text, bits] : cases)
        EXPECT_EQ(ParseBitRate(text), bits) << text;
}

TEST(ArgumentTranslation, TranslatesEachProfileFamily)
{
    const char* crop = "-vf crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0";
    // The options, the target, what the source holds, whether ffmpeg has AMR-NB, and the
    // arguments between "-i SOURCE" and the target.
    const std::tuple<std::string, const char*, std::optional<SourceInfo>, bool, std::string> cases[] = {
        // -b and -ab become per-stream rates; an odd size asked for is rounded down.
        {"-s 321x241 -b 1200k -ar 44100 -ab 64k -ac 2",
         "x.mp4",
         {},
         true,
         "-s 320x240 -b:v 1200k -ar 44100 -b:a 64k -ac 2"},
        // The ADPCM bit rate follows from the sample rate and is left off.
        {"-vcodec wmv2 -acodec adpcm_ima_wav -ar 48000 -ab 128k",
         "x.wmv",
         {},
         true,
         std::string("-c:v wmv2 ") + crop + " -c:a adpcm_ima_wav -ar 48000"},
        {"-vcodec copy -b 512k", "x.avi", {}, true, "-c:v copy -b:v 512k"},
        {"-f psp -s 320x240 -ar 24000 -ab 64k -ac 1", "x.mp4", SourceInfo{true, {160, 120}, false}, true,
         "-f lavfi -i anullsrc=channel_layout=mono:sample_rate=24000 -map 0:v:0 -map 1:a:0 -f psp -s 320x240 "
         "-ar 24000 -b:a 64k -ac 1 -shortest"},
        {"-f psp", "x.mp4", SourceInfo{true, {160, 120}, true}, true, std::string("-f psp ") + crop},
        // 3GP speaks AMR-NB at its nearest rate, and needs MPEG-4 video for sizes H.263 cannot code.
        {"-s 176x144 -b 120k -ar 8000 -ab 6k -ac 1",
         "x.3gp",
         {},
         true,
         "-s 176x144 -b:v 120k -c:a libopencore_amrnb -ar 8000 -b:a 5900 -ac 1"},
        {"-s 320x240", "x.3gp", {}, true, "-c:v mpeg4 -s 320x240 -c:a libopencore_amrnb -ar 8000 -ac 1"},
        {"", "x.3gp", SourceInfo{true, {160, 120}, false}, true,
         std::string("-c:v mpeg4 ") + crop + " -c:a libopencore_amrnb -ar 8000 -ac 1"},
        // An odd source size is coded one pixel smaller, which H.263 can code.
        {"", "x.3gp", SourceInfo{true, {177, 145}, true}, true,
         std::string(crop) + " -c:a libopencore_amrnb -ar 8000 -ac 1"},
        {"-s 176x144 -ab 4.75k", "x.3gp", {}, false, "-s 176x144 -c:a aac -b:a 4.75k"},
        {"-s 176x144 -ar 44100 -ac 2", "x.3gp", {}, true, "-s 176x144 -c:a aac -ar 44100 -ac 2"},
        {"-vcodec h263 -s 320x240 -acodec aac", "x.3gp", {}, true, "-c:v h263 -s 320x240 -c:a aac"},
    };
    for (const auto& [options, target, source, hasAmr, arguments] : cases) {
        Args expected = Words("-hide_banner -loglevel error -nostdin -y -i /in/s.flv " + arguments);
        expected.push_back(std::string("/out/") + target);
        EXPECT_EQ(TranslateArguments({Parse(options, target), "/in/s.flv", expected.back(), source, hasAmr}),
                  expected)
            << options << " " << target;
    }
}

TEST(ArgumentTranslation, ChoosesContainerAndWhatToAskFfmpegFirst)
{
    // The options, the target, its container, and whether to probe the source and to ask for AMR-NB.
    const std::tuple<const char*, const char*, Container, bool, bool> cases[] = {
        {"-s 320x240", "A.MP4", Container::Mp4, false, false},
        {"-f PSP -s 320x240", "a.avi", Container::Psp, true, false},
        {"-vcodec wmv2", "a.wmv", Container::Asf, false, false},
        {"-vcodec copy", "a.avi", Container::Avi, false, false},
        {"-ar 8000", "a.3gp", Container::ThreeGp, true, true},
        {"-vcodec mpeg4", "a.3gp", Container::ThreeGp, false, true},
        {"-s 176x144 -ar 44100", "a.3gp", Container::ThreeGp, false, false},
        {"-s 176x144 -ac 2", "a.3gp", Container::ThreeGp, false, false},
        {"-s 176x144 -acodec aac", "a.3gp", Container::ThreeGp, false, false},
        {"-s 176x144", "dir.3gp/a", Container::Other, false, false},
    };
    for (const auto& [options, target, container, probe, amrCheck] : cases) {
        const EncoderOptions parsed = Parse(options, target);
        EXPECT_EQ(ContainerFor(parsed), container) << options << " " << target;
        EXPECT_EQ(NeedsSourceProbe(parsed), probe) << options << " " << target;
        EXPECT_EQ(NeedsAmrCheck(parsed), amrCheck) << options << " " << target;
    }
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

TEST(ArgumentTranslation, PathsStayFilesWhateverTheirName)
{
    EXPECT_EQ(FilePathForFfmpeg("-x.flv", "/work"), "/work/-x.flv");
    EXPECT_EQ(FilePathForFfmpeg("file:c.flv", "/work/"), "/work/file:c.flv");
    EXPECT_EQ(FilePathForFfmpeg("sub/d.flv", "/"), "/sub/d.flv");
    EXPECT_EQ(FilePathForFfmpeg("/abs/e.flv", "/work"), "/abs/e.flv");
}

TEST(ProbeParsing, ReadsStreamsOfTheSource)
{
    const std::pair<const char*, SourceInfo> cases[] = {
        // The first video stream gives the size.
        {"codec_type=audio\ncodec_type=video|width=161|height=121\ncodec_type=video|width=80|height=60",
         {true, {161, 121}, true}},
        {"codec_type=audio\r\n", {false, {0, 0}, true}},
        {"codec_type=video|width=N/A|height=N/A\n", {true, {0, 0}, false}},
        {"codec_type=data\ncodec_type=subtitle\n", {false, {0, 0}, false}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseProbeOutput(text), expected) << text;
}

TEST(ProbeParsing, TrustsAnFlvHeaderOnlyWhenItAnnouncesBothStreams)
{
    using namespace std::string_literals;
    const std::pair<std::string, std::optional<SourceInfo>> cases[] = {
        {"FLV\x01\x05\0\0\0\x09"s, SourceInfo{true, {0, 0}, true}},
        {"FLV\x01\x05"s, SourceInfo{true, {0, 0}, true}},
        {"FLV\x01\x01\0\0\0\x09"s, std::nullopt},  // picture only: ask ffprobe
        {"FLV\x01\x04\0\0\0\x09"s, std::nullopt},  // sound only
        {"FLV\x01"s, std::nullopt},
        {"RIFF\x05\0\0\0\x09"s, std::nullopt},
    };
    for (const auto& [head, expected] : cases)
        EXPECT_EQ(SourceInfoFromFlvHeader(head), expected) << head.size();
}

TEST(ProbeParsing, ReadsTheEncoderListing)
{
    EXPECT_EQ(ParseEncoderList("Encoders:\n V..... = Video\n ------\n V....D libx264    H.264 / AVC\n"
                               " A..... libopencore_amrnb   OpenCORE AMR-NB\n"),
              (Args{"libx264", "libopencore_amrnb"}));
    EXPECT_TRUE(ParseEncoderList("V..... libx264 before the rule\n").empty());
}

}  // namespace
