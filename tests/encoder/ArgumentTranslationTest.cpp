#include <gtest/gtest.h>

#include <variant>

#include "encoder/ArgumentTranslation.h"

namespace {

using Args = std::vector<std::string>;

EncoderOptions Parse(Args args) {
    args.insert(args.begin(), "converter.exe");
    auto parsed = ParseEncoderOptions(args);
    EXPECT_TRUE(std::holds_alternative<EncoderOptions>(parsed)) << std::get<OptionError>(parsed).message;
    return std::get<EncoderOptions>(parsed);
}

SourceInfo Video(int width, int height, bool sound = true) {
    return SourceInfo{true, {width, height}, sound};
}

const Args kHead = {"-hide_banner", "-nostdin", "-y", "-i", "/in/src.flv"};

Args With(Args tail) {
    Args all = kHead;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
}

TEST(ArgumentTranslation, TranslatesEachProfileFamily) {
    struct Case {
        const char* what;
        Args options;  // between -i SOURCE and the target
        const char* target;
        std::optional<SourceInfo> source;
        bool hasAmr;
        Args expected;
    };
    const Case cases[] = {
        {"mp4: -b and -ab become per-stream rates",
         {"-s", "320x240", "-b", "1200k", "-ar", "44100", "-ab", "64k", "-ac", "2"}, "x.mp4", std::nullopt, true,
         With({"-s", "320x240", "-b:v", "1200k", "-ar", "44100", "-b:a", "64k", "-ac", "2", "/out/x.mp4"})},
        {"wmv: codecs pass, the ADPCM bit rate is left off",
         {"-vcodec", "wmv2", "-s", "320x240", "-b", "1200k", "-acodec", "adpcm_ima_wav", "-ar", "48000", "-ab",
          "128k", "-ac", "2"},
         "x.wmv", std::nullopt, true,
         With({"-c:v", "wmv2", "-s", "320x240", "-b:v", "1200k", "-c:a", "adpcm_ima_wav", "-ar", "48000", "-ac", "2",
               "/out/x.wmv"})},
        {"keeping the source's size crops it to even, unprobed",
         {"-vcodec", "wmv2", "-ar", "44100", "-ac", "2"}, "x.avi", std::nullopt, true,
         With({"-c:v", "wmv2", "-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0", "-ar", "44100", "-ac", "2",
               "/out/x.avi"})},
        {"copied video is never filtered",
         {"-vcodec", "copy", "-b", "512k"}, "x.avi", std::nullopt, true,
         With({"-c:v", "copy", "-b:v", "512k", "/out/x.avi"})},
        {"an odd size asked for is rounded down",
         {"-s", "321x241"}, "x.mp4", std::nullopt, true, With({"-s", "320x240", "/out/x.mp4"})},
        {"psp without sound gets a silent track that ends with the picture",
         {"-f", "psp", "-s", "320x240", "-b", "512k", "-ar", "24000", "-ab", "64k", "-ac", "2"}, "x.mp4",
         Video(160, 120, false), true,
         With({"-f", "lavfi", "-i", "anullsrc=channel_layout=stereo:sample_rate=24000", "-map", "0:v:0", "-map",
               "1:a:0", "-f", "psp", "-s", "320x240", "-b:v", "512k", "-ar", "24000", "-b:a", "64k", "-ac", "2",
               "-shortest", "/out/x.mp4"})},
        {"psp with sound keeps it",
         {"-f", "psp", "-s", "320x240", "-ar", "24000", "-ac", "2"}, "x.mp4", Video(160, 120), true,
         With({"-f", "psp", "-s", "320x240", "-ar", "24000", "-ac", "2", "/out/x.mp4"})},
        {"3gp at an H.263 size speaks AMR-NB",
         {"-s", "176x144", "-b", "120k", "-ar", "8000", "-ab", "4.75k", "-ac", "1"}, "x.3gp", std::nullopt, true,
         With({"-s", "176x144", "-b:v", "120k", "-c:a", "libopencore_amrnb", "-ar", "8000", "-b:a", "4750", "-ac",
               "1", "/out/x.3gp"})},
        {"3gp: an AMR rate between steps goes to the nearest",
         {"-s", "128x96", "-ab", "6k"}, "x.3gp", std::nullopt, true,
         With({"-s", "128x96", "-c:a", "libopencore_amrnb", "-ar", "8000", "-b:a", "5900", "-ac", "1",
               "/out/x.3gp"})},
        {"3gp at another size needs MPEG-4 video",
         {"-s", "320x240", "-ar", "8000", "-ac", "1"}, "x.3gp", std::nullopt, true,
         With({"-c:v", "mpeg4", "-s", "320x240", "-c:a", "libopencore_amrnb", "-ar", "8000", "-ac", "1",
               "/out/x.3gp"})},
        {"3gp keeping a source size H.263 cannot code",
         {"-ar", "8000", "-ac", "1"}, "x.3gp", Video(160, 120), true,
         With({"-c:v", "mpeg4", "-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0", "-c:a", "libopencore_amrnb", "-ar",
               "8000", "-ac", "1", "/out/x.3gp"})},
        {"3gp keeping a source size H.263 can code",
         {"-ar", "8000", "-ac", "1"}, "x.3gp", Video(177, 145), true,
         With({"-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0", "-c:a", "libopencore_amrnb", "-ar", "8000", "-ac", "1",
               "/out/x.3gp"})},
        {"3gp without the AMR encoder falls back to AAC",
         {"-s", "176x144", "-ar", "8000", "-ab", "4.75k", "-ac", "1"}, "x.3gp", std::nullopt, false,
         With({"-s", "176x144", "-c:a", "aac", "-ar", "8000", "-b:a", "4.75k", "-ac", "1", "/out/x.3gp"})},
        {"3gp asked for sound AMR cannot carry gets AAC",
         {"-s", "176x144", "-ar", "44100", "-ab", "64k", "-ac", "2"}, "x.3gp", std::nullopt, true,
         With({"-s", "176x144", "-c:a", "aac", "-ar", "44100", "-b:a", "64k", "-ac", "2", "/out/x.3gp"})},
        {"3gp with a codec asked for keeps it",
         {"-vcodec", "h263", "-s", "320x240", "-acodec", "aac"}, "x.3gp", std::nullopt, true,
         With({"-c:v", "h263", "-s", "320x240", "-c:a", "aac", "/out/x.3gp"})},
    };
    for (const Case& c : cases) {
        Args options = {"-i", "src.flv"};
        options.insert(options.end(), c.options.begin(), c.options.end());
        options.push_back(c.target);
        TranslationInput input{Parse(options), "/in/src.flv", std::string("/out/") + c.target, c.source, c.hasAmr};
        EXPECT_EQ(TranslateArguments(input), c.expected) << c.what;
    }
}

TEST(ArgumentTranslation, ChoosesContainerAndWhatToAskFfmpegFirst) {
    struct Case {
        Args options;
        const char* target;
        Container container;
        bool probe;
        bool amrCheck;
    };
    const Case cases[] = {
        {{"-s", "320x240"}, "a.mp4", Container::Mp4, false, false},
        {{"-s", "320x240"}, "A.MP4", Container::Mp4, false, false},
        {{"-f", "psp", "-s", "320x240"}, "a.mp4", Container::Psp, true, false},
        {{"-f", "PSP", "-s", "320x240"}, "a.avi", Container::Psp, true, false},
        {{"-vcodec", "wmv2", "-s", "320x240"}, "a.wmv", Container::Asf, false, false},
        {{"-vcodec", "wmv2"}, "a.wmv", Container::Asf, false, false},
        {{"-vcodec", "copy"}, "a.avi", Container::Avi, false, false},
        {{"-ar", "8000"}, "a.3gp", Container::ThreeGp, true, true},
        {{"-vcodec", "mpeg4"}, "a.3gp", Container::ThreeGp, false, true},
        {{"-s", "176x144", "-ar", "8000", "-ac", "1"}, "a.3gp", Container::ThreeGp, false, true},
        {{"-s", "176x144", "-ar", "44100"}, "a.3gp", Container::ThreeGp, false, false},
        {{"-s", "176x144", "-acodec", "aac"}, "a.3gp", Container::ThreeGp, false, false},
        {{"-s", "176x144"}, "dir.3gp/a", Container::Other, false, false},
        {{"-s", "176x144"}, "noext", Container::Other, false, false},
    };
    for (const Case& c : cases) {
        Args options = {"-i", "s.flv"};
        options.insert(options.end(), c.options.begin(), c.options.end());
        options.push_back(c.target);
        EncoderOptions parsed = Parse(options);
        EXPECT_EQ(ContainerFor(parsed), c.container) << c.target;
        EXPECT_EQ(NeedsSourceProbe(parsed), c.probe) << c.target;
        EXPECT_EQ(NeedsAmrCheck(parsed), c.amrCheck) << c.target;
    }
}

TEST(ArgumentTranslation, SizesAndRatesOfTheOldCodecs) {
    for (FrameSize size : {FrameSize{128, 96}, FrameSize{176, 144}, FrameSize{352, 288}, FrameSize{704, 576},
                           FrameSize{1408, 1152}}) {
        EXPECT_TRUE(IsH263Size(size)) << size.width;
    }
    for (FrameSize size : {FrameSize{96, 128}, FrameSize{320, 240}, FrameSize{176, 145}, FrameSize{0, 0}}) {
        EXPECT_FALSE(IsH263Size(size)) << size.width << "x" << size.height;
    }
    const std::pair<long long, long long> rates[] = {
        {1, 4750}, {4750, 4750}, {5000, 5150}, {5150, 5150}, {7400, 7400}, {7700, 7950},
        {9000, 7950}, {9100, 10200}, {12200, 12200}, {64000, 12200},
    };
    for (auto [asked, expected] : rates) EXPECT_EQ(NearestAmrBitRate(asked), expected) << asked;
}

TEST(ArgumentTranslation, PathsStayFilesWhateverTheirName) {
    struct Case {
        const char* path;
        const char* folder;
        const char* expected;
    };
    const Case cases[] = {
        {"-x.flv", "/work", "/work/-x.flv"},
        {"a:b.flv", "/work", "/work/a:b.flv"},
        {"file:c.flv", "/work/", "/work/file:c.flv"},
        {"sub/d.flv", "/", "/sub/d.flv"},
        {"/abs/e.flv", "/work", "/abs/e.flv"},
    };
    for (const Case& c : cases) EXPECT_EQ(FilePathForFfmpeg(c.path, c.folder), c.expected) << c.path;
}

}  // namespace
