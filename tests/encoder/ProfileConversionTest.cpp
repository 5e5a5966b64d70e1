// Every converting profile, through the command line the programs build, must give a
// file with the container, codecs, frame size and sound the profile stands for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "EncoderTestSupport.h"
#include "convert/EncoderCommandLine.h"
#include "convert/ProfileCatalogue.h"

namespace {

using namespace encoder_test;

// What each kind of target must hold, told apart by its extension and, for the PSP,
// by its brand. The video codec of AVI is the one chosen; 3GP's depends on the size.
struct Expectation {
    const char* extension;
    bool psp;
    const char* formatWord;  // a word of ffprobe's format name
    const char* brand;       // prefix of the major brand; empty where there is none
    const char* videoCodec;  // empty: the chosen one
    const char* audioCodec;
};

const Expectation kExpectations[] = {
    {".mp4", false, "mp4", "isom", "h264", "aac"},
    {".mp4", true, "mp4", "MSNV", "h264", "aac"},
    {".wmv", false, "asf", "", "wmv2", "adpcm_ima_wav"},
    {".avi", false, "avi", "", "", "mp3"},
    {".3gp", false, "3gp", "3gp", "", "amr_nb"},
};

const Expectation& ExpectationFor(const ConvertJob& job) {
    const bool psp = job.m_csTargetName.starts_with("PSP");
    for (const Expectation& e : kExpectations) {
        if (job.m_csTargetType == e.extension && e.psp == psp) return e;
    }
    throw std::runtime_error("no expectation for " + job.m_csTargetName);
}

bool IsH263Size(int width, int height) {
    return (width == 128 && height == 96) || (width == 176 && height == 144) || (width == 352 && height == 288);
}

class ProfileConversion : public testing::TestWithParam<int> {};

TEST_P(ProfileConversion, EveryOfferedChoiceGivesTheIntendedFile) {
    const ConvertProfile profile = BuildProfileCatalogue(CatalogueProgram::Pellux).at(GetParam());
    TempFolder folder;
    const std::string evenSource = folder / "clip.flv";
    const std::string oddSource = folder / "odd.flv";
    MakeFlv(evenSource, 160, 120, true, 1);
    MakeFlv(oddSource, 161, 121, true, 1);

    // Each run steps every box one entry further from its default, so the longest
    // list decides the number of runs and every choice is taken at least once.
    const OptionBoxes defaults = FillOptionBoxes(profile);
    std::size_t runs = 1;
    for (const OptionBox* box : {&defaults.m_size, &defaults.m_videoBitRate, &defaults.m_audioBitRate,
                                 &defaults.m_videoCodec}) {
        runs = std::max(runs, box->m_items.size());
    }
    std::vector<std::string> seen[4];
    for (std::size_t run = 0; run < runs; ++run) {
        OptionBoxes boxes = defaults;
        int boxIndex = 0;
        for (OptionBox* box : {&boxes.m_size, &boxes.m_videoBitRate, &boxes.m_audioBitRate, &boxes.m_videoCodec}) {
            std::vector<std::string>& seenHere = seen[boxIndex++];
            if (box->m_items.empty()) continue;
            box->m_nSelected =
                static_cast<int>((static_cast<std::size_t>(box->m_nSelected) + run) % box->m_items.size());
            seenHere.push_back(*box->SelectedText());
        }
        ConvertJob job;
        ReadJobFromSelection(job, &profile, SelectedOptions(boxes));
        const bool autoSize = job.m_csVideoSize == "Auto";
        job.m_csSourceFile = autoSize ? oddSource : evenSource;
        job.m_csTargetFile = folder / ("out" + std::to_string(run) + job.m_csTargetType);

        const std::string context = profile.m_csName + " with " + BuildEncoderCommandLine(job);
        RunResult result = RunProgram(BuildEncoderArguments(job, OstrandPath()));
        ASSERT_TRUE(result.exit.exited && result.exit.code == 0) << context << "\n" << result.err;

        const Expectation& expected = ExpectationFor(job);
        const MediaInfo media = Probe(job.m_csTargetFile);
        ASSERT_TRUE(media.readable) << context;
        EXPECT_NE(media.formatName.find(expected.formatWord), std::string::npos) << context << media.formatName;
        EXPECT_TRUE(media.majorBrand.starts_with(expected.brand)) << context << media.majorBrand;

        int width = 160;  // the odd source, one pixel cropped off each way
        int height = 120;
        if (!autoSize) {
            ASSERT_EQ(std::sscanf(job.m_csVideoSize.c_str(), "%dx%d", &width, &height), 2);
        }
        EXPECT_EQ(media.width, width) << context;
        EXPECT_EQ(media.height, height) << context;
        std::string videoCodec = expected.videoCodec;
        if (job.m_csTargetType == ".avi") videoCodec = job.m_csVideoCodec;
        if (job.m_csTargetType == ".3gp") videoCodec = IsH263Size(width, height) ? "h263" : "mpeg4";
        EXPECT_EQ(media.videoCodec, videoCodec) << context;

        EXPECT_EQ(media.audioCodec, expected.audioCodec) << context;
        EXPECT_EQ(std::to_string(media.sampleRate), job.m_csAudioSampleRate) << context;
        EXPECT_EQ(std::to_string(media.channels), job.m_csAudioChannel) << context;
        EXPECT_EQ(media.videoStreams, 1) << context;
        EXPECT_EQ(media.audioStreams, 1) << context;
    }
    // The stepping above really reached every offered value.
    int boxIndex = 0;
    for (const OptionBox* box : {&defaults.m_size, &defaults.m_videoBitRate, &defaults.m_audioBitRate,
                                 &defaults.m_videoCodec}) {
        const std::vector<std::string>& seenHere = seen[boxIndex++];
        for (const std::string& item : box->m_items) {
            EXPECT_NE(std::find(seenHere.begin(), seenHere.end(), item), seenHere.end()) << item;
        }
    }
}

std::string ProfileTestName(const testing::TestParamInfo<int>& info) {
    const std::string name = BuildProfileCatalogue(CatalogueProgram::Pellux).at(info.param).m_csName;
    std::string id = std::to_string(info.param + 1) + "_";
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) id += c;
    }
    return id;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ProfileConversion,
                         testing::Range(0, static_cast<int>(BuildProfileCatalogue(CatalogueProgram::Pellux).size())),
                         ProfileTestName);

}  // namespace
