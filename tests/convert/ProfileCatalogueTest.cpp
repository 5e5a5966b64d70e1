// The profile catalogue, the option boxes filled from it and the job read back from them.
#include "convert/ProfileCatalogue.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "convert/EncoderCommandLine.h"
#include "platform/CommandLine.h"

namespace {

using Args = std::vector<std::string>;

// A job read from a profile and its boxes, by default as the profile fills them.
ConvertJob ReadJob(const ConvertProfile& profile, const std::optional<OptionBoxes>& boxes = std::nullopt)
{
    ConvertJob job;
    job.m_csSourceFile = "/home/ann/My Videos/it's.flv";
    job.m_csTargetFile = "/tmp/ tab\there -dash\\back.avi";
    ReadJobFromSelection(job, &profile, SelectedOptions(boxes.value_or(FillOptionBoxes(profile))));
    return job;
}

// Every entry in order: its name, its extension and the options its own defaults give.
const char* const kEntries[][3] = {
    {"FLV - Flash Video Format Orignal (*.flv)", ".flv", nullptr},  // converts nothing
    {"iPod (320x240) MPEG-4 Normal (*.mp4)", ".mp4", "-s 320x240 -b 1200k -ar 44100 -ab 64k -ac 2"},
    {"iPod (320x240) MPEG-4 Excellent (*.mp4)", ".mp4", "-s 320x240 -b 1500k -ar 44100 -ab 64k -ac 2"},
    {"iPod Touch (480x320) MPEG-4 Normal (*.mp4)", ".mp4", "-s 480x320 -b 1200k -ar 44100 -ab 80k -ac 2"},
    {"iPod Touch (480x320) MPEG-4 Excellent (*.mp4)", ".mp4", "-s 480x320 -b 1500k -ar 44100 -ab 80k -ac 2"},
    {"iPod Video2 (640x480) MPEG-4 Normal (*.mp4)", ".mp4", "-s 640x480 -b 1200k -ar 44100 -ab 80k -ac 2"},
    {"iPod Video2 (640x480) MPEG-4 Excellent (*.mp4)", ".mp4", "-s 640x480 -b 2500k -ar 44100 -ab 80k -ac 2"},
    {"iPod Video2 For TV (*.mp4)", ".mp4", "-s 640x480 -b 2500k -ar 44100 -ab 80k -ac 2"},
    {"PSP - PSP MPEG-4 Video (*.mp4)", ".mp4", "-f psp -s 320x240 -b 512k -ar 24000 -ab 64k -ac 2"},
    {"MP4 - MPEG-4 Video (*.mp4)", ".mp4", "-s 640x480 -b 2500k -ar 44100 -ab 80k -ac 2"},
    {"WMV - Windows Media Video (*.wmv)", ".wmv",
     "-vcodec wmv2 -s 320x240 -b 1200k -acodec adpcm_ima_wav -ar 48000 -ab 128k -ac 2"},
    // AVI: its size "Auto" is offered and left out; its audio default "Auto" is not offered,
    // so the box shows the first choice.
    {"AVI - Audio-Video Interleaved (*.avi)", ".avi", "-vcodec wmv2 -b 1200k -ar 44100 -ab 64k -ac 2"},
    {"3GP - Cell Phone H.263 (*.3gp)", ".3gp", "-s 176x144 -b 120k -ar 8000 -ab 4.75k -ac 1"},
};

// Every entry in order with its name and extension. A converting entry's defaults give the
// options listed, and with each value its boxes offer its text splits into exactly the
// arguments the encoder is started with.
TEST(ProfileCatalogue, EntriesInOrderWithTheOptionsTheirBoxesGive)
{
    const auto tavolin = BuildProfileCatalogue(CatalogueProgram::Tavolin);
    ASSERT_EQ(tavolin.size(), std::size(kEntries));
    EXPECT_EQ(BuildProfileCatalogue(CatalogueProgram::Pellux),
              std::vector(tavolin.begin() + 1, tavolin.end()));
    for (std::size_t i = 0; i < tavolin.size(); ++i) {
        EXPECT_EQ(tavolin[i].name, kEntries[i][0]);
        EXPECT_EQ(tavolin[i].extension, kEntries[i][1]) << kEntries[i][0];
        if (!kEntries[i][2])
            continue;
        const ConvertJob job = ReadJob(tavolin[i]);
        EXPECT_EQ(BuildEncoderCommandLine(job), "./ostrand converter.exe -i \"" + job.m_csSourceFile + "\" " +
                                                    kEntries[i][2] + " \"" + job.m_csTargetFile + "\" ");
        const OptionBoxes defaults = FillOptionBoxes(tavolin[i]);
        for (auto box : {&OptionBoxes::size, &OptionBoxes::videoBitRate, &OptionBoxes::audioBitRate,
                         &OptionBoxes::videoCodec}) {
            for (std::size_t choice = 0; choice < (defaults.*box).items.size(); ++choice) {
                OptionBoxes boxes = defaults;
                (boxes.*box).selected = static_cast<int>(choice);
                const ConvertJob picked = ReadJob(tavolin[i], boxes);
                EXPECT_EQ(platform::SplitCommandLine(BuildEncoderCommandLine(picked)),
                          BuildEncoderArguments(picked))
                    << BuildEncoderCommandLine(picked);
            }
        }
    }
}

TEST(FillOptionBoxes, SelectsTheLastChoiceEqualToTheDefaultElseTheFirst)
{
    ConvertProfile p;
    p.videoSize = {"b", {"a", "b", "c", "b"}};
    p.audioBitRate = {"AUTO", {"Auto", "64"}};  // letter case counts
    const OptionBoxes boxes = FillOptionBoxes(p);
    EXPECT_EQ(boxes.size, (OptionBox{{"a", "b", "c", "b"}, 3}));
    EXPECT_EQ(boxes.audioBitRate.selected, 0);
    EXPECT_EQ(boxes.videoCodec, (OptionBox{{}, -1}));  // no choices: no selection
}

TEST(ReadJobFromSelection, FillsOnlyTheProfilePartOfTheJob)
{
    const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);
    // FLV: its empty boxes select nothing, so the box fields stay as they were.
    ConvertJob flv;
    flv.m_csVideoSize = "kept";
    ReadJobFromSelection(flv, &catalogue[0], SelectedOptions(FillOptionBoxes(catalogue[0])));
    EXPECT_EQ((Args{flv.m_csTargetType, flv.m_csVideoSize, flv.m_csAudioCodec}),
              (Args{".flv", "kept", "Auto"}));

    ConvertJob job = ReadJob(catalogue[10]);

    // No profile and no selections: ".mp4", and all the rest stays.
    ConvertJob again = job;
    ReadJobFromSelection(again, nullptr, OptionSelection{});
    job.m_csTargetType = ".mp4";
    EXPECT_EQ(again, job);
}

}  // namespace
