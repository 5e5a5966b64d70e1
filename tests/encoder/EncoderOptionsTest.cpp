#include <gtest/gtest.h>

#include <variant>

#include "encoder/EncoderOptions.h"

namespace {

using Args = std::vector<std::string>;

TEST(EncoderOptions, ReadsTheCallersCommandLine) {
    auto parsed = ParseEncoderOptions({"converter.exe", "-i", "/v/a b.flv", "-f", "psp", "-vcodec", "wmv2", "-s",
                                       "320x240", "-b", "512k", "-acodec", "adpcm_ima_wav", "-ar", "24000", "-ab",
                                       "4.75k", "-ac", "2", "/v/a b.mp4"});
    ASSERT_TRUE(std::holds_alternative<EncoderOptions>(parsed)) << std::get<OptionError>(parsed).message;
    EncoderOptions expected;
    expected.source = "/v/a b.flv";
    expected.target = "/v/a b.mp4";
    expected.format = "psp";
    expected.videoCodec = "wmv2";
    expected.size = FrameSize{320, 240};
    expected.videoBitRate = "512k";
    expected.audioCodec = "adpcm_ima_wav";
    expected.sampleRate = 24000;
    expected.audioBitRate = "4.75k";
    expected.channels = 2;
    EXPECT_EQ(std::get<EncoderOptions>(parsed), expected);
}

TEST(EncoderOptions, PathsAreNeverTakenForOptions) {
    // The fixed first word is optional; paths that look like options stay paths.
    const std::pair<Args, std::pair<const char*, const char*>> cases[] = {
        {{"-i", "-s.flv", "-b"}, {"-s.flv", "-b"}},
        {{"converter.exe", "-i", "-i", "-ac"}, {"-i", "-ac"}},
        {{"converter.exe", "-i", "x:y.flv", "converter.exe"}, {"x:y.flv", "converter.exe"}},
    };
    for (const auto& [args, paths] : cases) {
        auto parsed = ParseEncoderOptions(args);
        ASSERT_TRUE(std::holds_alternative<EncoderOptions>(parsed)) << args.back();
        EXPECT_EQ(std::get<EncoderOptions>(parsed).source, paths.first);
        EXPECT_EQ(std::get<EncoderOptions>(parsed).target, paths.second);
    }
}

TEST(EncoderOptions, RefusesWhatItCannotMeanWithAReason) {
    const std::pair<Args, const char*> cases[] = {
        {{}, "no source"},
        {{"converter.exe", "out.mp4"}, "no source given"},
        {{"converter.exe", "-i", "in.flv"}, "needs a value"},
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
        {{"converter.exe", "-i", "in.flv", "-ac", "0", "out.mp4"}, "channel count"},
        {{"converter.exe", "-i", "in.flv", "-ac", "9", "out.mp4"}, "channel count"},
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

TEST(EncoderOptions, BitRatesInTheOptionLanguage) {
    const std::pair<const char*, std::optional<long long>> cases[] = {
        {"1200k", 1200000}, {"4.75k", 4750}, {"12.2k", 12200}, {"64000", 64000}, {"2M", 2000000},
        {"5.15K", 5150},    {"", std::nullopt}, {"k", std::nullopt}, {"1.k", std::nullopt},
        {".5k", std::nullopt}, {"-64k", std::nullopt}, {"64kb", std::nullopt}, {"0k", std::nullopt},
        {"1e3", std::nullopt}, {"9999999999k", std::nullopt},
    };
    for (const auto& [text, bits] : cases) EXPECT_EQ(ParseBitRate(text), bits) << text;
}

}  // namespace
