#include <gtest/gtest.h>

#include <sys/stat.h>

#include "EncoderTestSupport.h"
#include "encoder/EncoderList.h"
#include "encoder/ProgramLookup.h"
#include "encoder/SourceProbe.h"

namespace {

TEST(ProbeParsing, ReadsStreamsOfTheSource) {
    const std::pair<const char*, SourceInfo> cases[] = {
        {"codec_type=audio\ncodec_type=video|width=161|height=121\n", {true, {161, 121}, true}},
        {"codec_type=video|width=320|height=240\n", {true, {320, 240}, false}},
        {"codec_type=audio\r\n", {false, {0, 0}, true}},
        {"codec_type=video|width=N/A|height=N/A\n", {true, {0, 0}, false}},
        {"codec_type=video|width=640|height=480\ncodec_type=video|width=80|height=60", {true, {640, 480}, false}},
        {"codec_type=data\ncodec_type=subtitle\n", {false, {0, 0}, false}},
        {"", {false, {0, 0}, false}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseProbeOutput(text), expected) << text;
}

TEST(ProbeParsing, TrustsAnFlvHeaderOnlyWhenItAnnouncesSound) {
    using namespace std::string_literals;
    const std::pair<std::string, std::optional<SourceInfo>> cases[] = {
        {"FLV\x01\x05\0\0\0\x09"s, SourceInfo{true, {0, 0}, true}},
        {"FLV\x01\x05"s, SourceInfo{true, {0, 0}, true}},
        {"FLV\x01\x01\0\0\0\x09"s, std::nullopt},  // picture only: ask ffprobe
        {"FLV\x01\x04\0\0\0\x09"s, std::nullopt},  // sound only
        {"FLV\x01"s, std::nullopt},
        {"RIFF\x05\0\0\0\x09"s, std::nullopt},
        {""s, std::nullopt},
    };
    for (const auto& [head, expected] : cases) EXPECT_EQ(SourceInfoFromFlvHeader(head), expected) << head.size();
}

TEST(ProbeParsing, ReadsTheEncoderListing) {
    const char* listing =
        "Encoders:\n"
        " V..... = Video\n"
        " A..... = Audio\n"
        " ------\n"
        " V....D libx264              libx264 H.264 / AVC\n"
        " A..... libopencore_amrnb    OpenCORE AMR-NB\n"
        " A....D adpcm_ima_wav        ADPCM IMA WAV\n";
    EXPECT_EQ(ParseEncoderList(listing), (std::vector<std::string>{"libx264", "libopencore_amrnb", "adpcm_ima_wav"}));
    EXPECT_TRUE(ParseEncoderList("V..... libx264 before the rule\n").empty());
}

TEST(ProbeParsing, FindsProgramsLikeAShell) {
    encoder_test::TempFolder folder;
    const std::string first = folder / "one";
    const std::string second = folder / "two";
    mkdir(first.c_str(), 0755);
    mkdir(second.c_str(), 0755);
    encoder_test::WriteFile(first + "/tool", "not executable");
    encoder_test::WriteFile(second + "/tool", "#!/bin/sh\n");
    chmod((second + "/tool").c_str(), 0755);
    mkdir((first + "/dir").c_str(), 0755);

    EXPECT_EQ(FindProgram("tool", first + ":" + second), second + "/tool");
    EXPECT_EQ(FindProgram("tool", first), std::nullopt);
    EXPECT_EQ(FindProgram("dir", first), std::nullopt);
    EXPECT_EQ(FindProgram("tool", "/nonexistent::" + second), second + "/tool");
    EXPECT_EQ(FindProgram(second + "/tool", ""), second + "/tool");
    EXPECT_EQ(FindProgram("", second), std::nullopt);
}

}  // namespace
