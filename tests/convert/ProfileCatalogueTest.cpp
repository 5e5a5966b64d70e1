#include "convert/ProfileCatalogue.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// The expected catalogue, written out independently of the code. Per row: name,
// extension, then default and choices of size, video codec, video bit rate and audio
// bit rate, then the defaults of audio codec, sample rate and channels. "-" is an
// empty choice list.
const char* S1 = "240x160 320x240 480x272 640x480";
const char* S2 = "240x160 320x240 480x272 480x320 640x480";
const char* S3 = "240x160 320x240 480x272 480x320 480x368 512x384 640x480 720x432";
const char* S4 = "240x160 320x240 480x272 480x320 480x368 512x384 640x480 720x432 720x480 1280x720";
const char* S5 = "160x112 240x160 320x240 720x480";
const char* S6 = "Auto 320x240 640x480 720x576";
const char* S7 = "Auto 250x240 320x240 640x480";
const char* S8 = "128x96 176x144 352x288";
const char* V1 = "256 384 512 640 768 900 1200 1500";
const char* V2 = "256 384 512 640 768 900 1200 1500 2000";
const char* V3 = "256 384 512 640 768 900 1200 1500 2500";
const char* V4 = "216 256 384 512 768 900 1200 1500 2000";
const char* V5 = "Auto 64 768 1200 1500 2000 4000";
const char* V6 = "Auto 512 1200 1500 2500";
const char* V7 = "40 80 120 256 512";
const char* A1 = "64 80 96 128 160";
const char* A2 = "64 96 128 160 256 384 512 768 900";
const char* A3 = "4.75 5.15 5.9 6.7 7.4 7.95 10.2 12.2";

const std::vector<std::vector<std::string>> kTable = {
    {"FLV - Flash Video Format Orignal (*.flv)", ".flv", "Auto", "-", "Auto", "-", "Auto", "-", "Auto", "-", "Auto", "Auto", "Auto"},
    {"iPod (320x240) MPEG-4 Normal (*.mp4)", ".mp4", "320x240", S1, "Auto", "Auto", "1200", V1, "64", A1, "Auto", "44100", "2"},
    {"iPod (320x240) MPEG-4 Excellent (*.mp4)", ".mp4", "320x240", S1, "Auto", "Auto", "1500", V1, "64", A1, "Auto", "44100", "2"},
    {"iPod Touch (480x320) MPEG-4 Normal (*.mp4)", ".mp4", "480x320", S2, "Auto", "Auto", "1200", V2, "80", A1, "Auto", "44100", "2"},
    {"iPod Touch (480x320) MPEG-4 Excellent (*.mp4)", ".mp4", "480x320", S2, "Auto", "Auto", "1500", V2, "80", A1, "Auto", "44100", "2"},
    {"iPod Video2 (640x480) MPEG-4 Normal (*.mp4)", ".mp4", "640x480", S1, "Auto", "Auto", "1200", V1, "80", A1, "Auto", "44100", "2"},
    {"iPod Video2 (640x480) MPEG-4 Excellent (*.mp4)", ".mp4", "640x480", S1, "Auto", "Auto", "2500", V3, "80", A1, "Auto", "44100", "2"},
    {"iPod Video2 For TV (*.mp4)", ".mp4", "640x480", S3, "Auto", "Auto", "2500", V3, "80", A1, "Auto", "44100", "2"},
    {"PSP - PSP MPEG-4 Video (*.mp4)", ".mp4", "320x240", S5, "Auto", "Auto", "512", V4, "64", A2, "Auto", "24000", "2"},
    {"MP4 - MPEG-4 Video (*.mp4)", ".mp4", "640x480", S4, "Auto", "Auto", "2500", V3, "80", A1, "Auto", "44100", "2"},
    {"WMV - Windows Media Video (*.wmv)", ".wmv", "320x240", S6, "wmv2", "wmv2", "1200", V5, "128", A1, "adpcm_ima_wav", "48000", "2"},
    {"AVI - Audio-Video Interleaved (*.avi)", ".avi", "Auto", S7, "wmv2", "wmv2 mpeg4", "1200", V6, "Auto", A1, "Auto", "44100", "2"},
    {"3GP - Cell Phone H.263 (*.3gp)", ".3gp", "176x144", S8, "Auto", "Auto", "120", V7, "4.75", A3, "Auto", "8000", "1"},
};

void ExpectSlot(const ProfileOption& option, const std::string& def, const std::string& choices,
                const std::string& where) {
    EXPECT_EQ(option.m_csDefault, def) << where;
    EXPECT_EQ(option.m_choices, choices == "-" ? std::vector<std::string>{} : Words(choices)) << where;
}

void ExpectRow(const ConvertProfile& p, const std::vector<std::string>& r) {
    const std::string& n = r[0];
    EXPECT_EQ(p.m_csName, n);
    EXPECT_EQ(p.m_csExtension, r[1]) << n;
    ExpectSlot(p.m_videoSize, r[2], r[3], n + " size");
    ExpectSlot(p.m_videoCodec, r[4], r[5], n + " video codec");
    ExpectSlot(p.m_videoBitRate, r[6], r[7], n + " video bit rate");
    ExpectSlot(p.m_audioBitRate, r[8], r[9], n + " audio bit rate");
    ExpectSlot(p.m_audioCodec, r[10], "-", n + " audio codec");
    ExpectSlot(p.m_audioSampleRate, r[11], "-", n + " sample rate");
    ExpectSlot(p.m_audioChannel, r[12], "-", n + " channels");
    ExpectSlot(p.m_videoFrameRate, "Auto", "-", n + " frame rate");
}

TEST(ProfileCatalogue, TavolinHasAllThirteenEntriesToTheCharacter) {
    const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);
    ASSERT_EQ(catalogue.size(), 13u);
    for (std::size_t i = 0; i < kTable.size(); ++i)
        ExpectRow(catalogue[i], kTable[i]);
}

TEST(ProfileCatalogue, PelluxHasTheTwelveConvertingEntriesInTheSameOrder) {
    const auto pellux = BuildProfileCatalogue(CatalogueProgram::Pellux);
    ASSERT_EQ(pellux.size(), 12u);
    for (std::size_t i = 0; i < pellux.size(); ++i)
        ExpectRow(pellux[i], kTable[i + 1]);
}

const ConvertProfile& Named(const std::vector<ConvertProfile>& catalogue, const std::string& prefix) {
    for (const auto& p : catalogue)
        if (p.m_csName.rfind(prefix, 0) == 0)
            return p;
    throw std::runtime_error("no profile " + prefix);
}

TEST(FillOptionBoxes, SelectsTheLastChoiceEqualToTheDefaultOrTheFirst) {
    const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);
    struct Case {
        const char* profile;
        int size, vrate, arate, codec;  // selected indices
        const char* texts;              // selected texts in box order, "-" for none
    };
    const Case cases[] = {
        // FLV: four empty boxes, none selected
        {"FLV", -1, -1, -1, -1, "- - - -"},
        {"iPod (320x240) MPEG-4 Normal", 1, 6, 0, 0, "320x240 1200 64 Auto"},
        {"iPod Touch (480x320) MPEG-4 Excellent", 3, 7, 1, 0, "480x320 1500 80 Auto"},
        {"PSP", 2, 3, 0, 0, "320x240 512 64 Auto"},
        {"MP4", 6, 8, 1, 0, "640x480 2500 80 Auto"},
        // WMV: one codec choice, selected
        {"WMV", 1, 3, 3, 0, "320x240 1200 128 wmv2"},
        // AVI: size "Auto" is S7's first choice; audio "Auto" is not offered -> first
        {"AVI", 0, 2, 0, 0, "Auto 1200 64 wmv2"},
        {"3GP", 1, 2, 0, 0, "176x144 120 4.75 Auto"},
    };
    for (const Case& c : cases) {
        const OptionBoxes boxes = FillOptionBoxes(Named(catalogue, c.profile));
        EXPECT_EQ(boxes.m_size.m_nSelected, c.size) << c.profile;
        EXPECT_EQ(boxes.m_videoBitRate.m_nSelected, c.vrate) << c.profile;
        EXPECT_EQ(boxes.m_audioBitRate.m_nSelected, c.arate) << c.profile;
        EXPECT_EQ(boxes.m_videoCodec.m_nSelected, c.codec) << c.profile;
        std::string texts;
        for (const OptionBox* box : {&boxes.m_size, &boxes.m_videoBitRate, &boxes.m_audioBitRate,
                                     &boxes.m_videoCodec})
            texts += (texts.empty() ? "" : " ") + box->SelectedText().value_or("-");
        EXPECT_EQ(texts, c.texts) << c.profile;
    }
    const OptionBoxes avi = FillOptionBoxes(Named(catalogue, "AVI"));
    EXPECT_EQ(avi.m_videoCodec.m_items, (std::vector<std::string>{"wmv2", "mpeg4"}));
    const OptionBoxes g3 = FillOptionBoxes(Named(catalogue, "3GP"));
    EXPECT_EQ(g3.m_audioBitRate.m_items, Words(A3));
}

TEST(FillOptionBoxes, DuplicateDefaultsPickTheLastAndEmptyDefaultsPickTheFirst) {
    ConvertProfile p;
    p.m_videoSize = {"b", {"a", "b", "c", "b"}};
    p.m_videoBitRate = {"", {"x", "y"}};
    p.m_audioBitRate = {"AUTO", {"Auto", "64"}};  // case matters
    p.m_videoCodec = {"z", {}};
    const OptionBoxes boxes = FillOptionBoxes(p);
    EXPECT_EQ(boxes.m_size.m_nSelected, 3);
    EXPECT_EQ(boxes.m_videoBitRate.m_nSelected, 0);
    EXPECT_EQ(boxes.m_audioBitRate.m_nSelected, 0);
    EXPECT_EQ(boxes.m_videoCodec.m_nSelected, -1);
    EXPECT_FALSE(boxes.m_videoCodec.SelectedText());
}

TEST(ReadJobFromSelection, FillsTheProfilePartOfTheJob) {
    const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);

    // FLV: no box has a selection, so the option fields stay empty; the audio
    // defaults come from the profile.
    ConvertJob flv;
    flv.m_nTaskId = 9;
    flv.m_csSourceFile = "/v/a.flv";
    const ConvertProfile& flvProfile = catalogue[0];
    ReadJobFromSelection(flv, &flvProfile, SelectedOptions(FillOptionBoxes(flvProfile)));
    EXPECT_EQ(flv.m_nTaskId, 9);
    EXPECT_EQ(flv.m_csSourceFile, "/v/a.flv");
    EXPECT_EQ(flv.m_csTargetType, ".flv");
    EXPECT_EQ(flv.m_csTargetName, "FLV - Flash Video Format Orignal (*.flv)");
    EXPECT_EQ(flv.m_csVideoSize, "");
    EXPECT_EQ(flv.m_csVideoCodec, "");
    EXPECT_EQ(flv.m_csVideoBitRate, "");
    EXPECT_EQ(flv.m_csAudioBitRate, "");
    EXPECT_EQ(flv.m_csAudioCodec, "Auto");
    EXPECT_EQ(flv.m_csAudioSampleRate, "Auto");
    EXPECT_EQ(flv.m_csAudioChannel, "Auto");
    EXPECT_EQ(flv.m_csVideoFrameRate, "");

    // WMV with the user's own picks in two boxes.
    const ConvertProfile& wmv = Named(catalogue, "WMV");
    OptionBoxes boxes = FillOptionBoxes(wmv);
    boxes.m_size.m_nSelected = 0;          // "Auto"
    boxes.m_videoBitRate.m_nSelected = 6;  // "4000"
    ConvertJob job;
    ReadJobFromSelection(job, &wmv, SelectedOptions(boxes));
    EXPECT_EQ(job.m_csTargetType, ".wmv");
    EXPECT_EQ(job.m_csTargetName, wmv.m_csName);
    EXPECT_EQ(job.m_csVideoSize, "Auto");
    EXPECT_EQ(job.m_csVideoBitRate, "4000");
    EXPECT_EQ(job.m_csAudioBitRate, "128");
    EXPECT_EQ(job.m_csVideoCodec, "wmv2");
    EXPECT_EQ(job.m_csAudioCodec, "adpcm_ima_wav");
    EXPECT_EQ(job.m_csAudioSampleRate, "48000");
    EXPECT_EQ(job.m_csAudioChannel, "2");

    // No profile and no selections: ".mp4" and the fields of the last run stay.
    ConvertJob again = job;
    ReadJobFromSelection(again, nullptr, OptionSelection{});
    ConvertJob expected = job;
    expected.m_csTargetType = ".mp4";
    EXPECT_EQ(again, expected);
}

}  // namespace
