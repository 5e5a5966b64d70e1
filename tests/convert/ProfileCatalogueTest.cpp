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

// The lists each box offers, in order, and the values without a box: a wrong value in
// any of them would reach the encoder unnoticed.
TEST(ProfileCatalogue, EveryProfileOffersItsListsAndFixedValues)
{
    const Args s1{"240x160", "320x240", "480x272", "640x480"};
    const Args s2{"240x160", "320x240", "480x272", "480x320", "640x480"};
    const Args s3{"240x160", "320x240", "480x272", "480x320", "480x368", "512x384", "640x480", "720x432"};
    const Args s4{"240x160", "320x240", "480x272", "480x320", "480x368",
                  "512x384", "640x480", "720x432", "720x480", "1280x720"};
    const Args s5{"160x112", "240x160", "320x240", "720x480"};
    const Args s6{"Auto", "320x240", "640x480", "720x576"};
    const Args s7{"Auto", "250x240", "320x240", "640x480"};
    const Args s8{"128x96", "176x144", "352x288"};
    const Args v1{"256", "384", "512", "640", "768", "900", "1200", "1500"};
    const Args v2{"256", "384", "512", "640", "768", "900", "1200", "1500", "2000"};
    const Args v3{"256", "384", "512", "640", "768", "900", "1200", "1500", "2500"};
    const Args v4{"216", "256", "384", "512", "768", "900", "1200", "1500", "2000"};
    const Args v5{"Auto", "64", "768", "1200", "1500", "2000", "4000"};
    const Args v6{"Auto", "512", "1200", "1500", "2500"};
    const Args v7{"40", "80", "120", "256", "512"};
    const Args a1{"64", "80", "96", "128", "160"};
    const Args a2{"64", "96", "128", "160", "256", "384", "512", "768", "900"};
    const Args a3{"4.75", "5.15", "5.9", "6.7", "7.4", "7.95", "10.2", "12.2"};
    const Args autoOnly{"Auto"};
    // Per entry: the size, video codec, video bit rate and audio bit rate lists; the audio
    // codec, sample rate and channels.
    const struct {
        Args size, codec, videoRate, audioRate;
        const char *audioCodec, *sampleRate, *channels;
    } expected[] = {
        {{}, {}, {}, {}, "Auto", "Auto", "Auto"},
        {s1, autoOnly, v1, a1, "Auto", "44100", "2"},
        {s1, autoOnly, v1, a1, "Auto", "44100", "2"},
        {s2, autoOnly, v2, a1, "Auto", "44100", "2"},
        {s2, autoOnly, v2, a1, "Auto", "44100", "2"},
        {s1, autoOnly, v1, a1, "Auto", "44100", "2"},
        {s1, autoOnly, v3, a1, "Auto", "44100", "2"},
        {s3, autoOnly, v3, a1, "Auto", "44100", "2"},
        {s5, autoOnly, v4, a2, "Auto", "24000", "2"},
        {s4, autoOnly, v3, a1, "Auto", "44100", "2"},
        {s6, {"wmv2"}, v5, a1, "adpcm_ima_wav", "48000", "2"},
        {s7, {"wmv2", "mpeg4"}, v6, a1, "Auto", "44100", "2"},
        {s8, autoOnly, v7, a3, "Auto", "8000", "1"},
    };
    const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);
    ASSERT_EQ(catalogue.size(), std::size(expected));
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        const ConvertProfile& p = catalogue[i];
        const auto& e = expected[i];
        EXPECT_EQ((std::vector<Args>{p.videoSize.choices, p.videoCodec.choices, p.videoBitRate.choices,
                                     p.audioBitRate.choices}),
                  (std::vector<Args>{e.size, e.codec, e.videoRate, e.audioRate}))
            << p.name;
        EXPECT_EQ((Args{p.audioCodec.defaultValue, p.audioSampleRate.defaultValue,
                        p.audioChannel.defaultValue, p.videoFrameRate.defaultValue}),
                  (Args{e.audioCodec, e.sampleRate, e.channels, "Auto"}))
            << p.name;
        for (const ProfileOption* boxless :
             {&p.videoFrameRate, &p.audioCodec, &p.audioSampleRate, &p.audioChannel})
            EXPECT_TRUE(boxless->choices.empty()) << p.name;
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

    // The user's own pick counts, not the profile's default.
    OptionBoxes boxes = FillOptionBoxes(catalogue[10]);
    boxes.videoBitRate.selected = 6;
    ConvertJob job = ReadJob(catalogue[10], boxes);
    EXPECT_EQ(job.m_csVideoBitRate, "4000");

    // No profile and no selections: ".mp4", and all the rest stays.
    ConvertJob again = job;
    ReadJobFromSelection(again, nullptr, OptionSelection{});
    job.m_csTargetType = ".mp4";
    EXPECT_EQ(again, job);
}

}  // namespace
