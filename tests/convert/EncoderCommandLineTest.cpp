#include "convert/EncoderCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/ProfileCatalogue.h"
#include "platform/CommandLine.h"

namespace {

using Args = std::vector<std::string>;

const char* kSource = "/home/ann/Tavolin Videos/my clip.flv";
const char* kTarget = "/home/ann/Tavolin Videos/my clip.mp4";

ConvertJob DefaultJob(const ConvertProfile& profile) {
    ConvertJob job;
    job.m_csSourceFile = kSource;
    job.m_csTargetFile = kTarget;
    ReadJobFromSelection(job, &profile, SelectedOptions(FillOptionBoxes(profile)));
    return job;
}

const ConvertProfile& Named(const std::vector<ConvertProfile>& catalogue, const std::string& prefix) {
    for (const auto& p : catalogue)
        if (p.m_csName.rfind(prefix, 0) == 0)
            return p;
    throw std::runtime_error("no profile " + prefix);
}

TEST(EncoderCommandLine, WorkedExamplesWithEachProfilesDefaults) {
    const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);
    const std::string src = std::string("\"") + kSource + "\"";
    const std::string dst = std::string("\"") + kTarget + "\" ";
    const struct {
        const char* profile;
        std::string line;
    } cases[] = {
        {"iPod (320x240) MPEG-4 Normal",
         "./ostrand converter.exe -i " + src + " -s 320x240 -b 1200k -ar 44100 -ab 64k -ac 2 " + dst},
        {"PSP",
         "./ostrand converter.exe -i " + src + " -f psp -s 320x240 -b 512k -ar 24000 -ab 64k -ac 2 " + dst},
        {"WMV",
         "./ostrand converter.exe -i " + src +
             " -vcodec wmv2 -s 320x240 -b 1200k -acodec adpcm_ima_wav -ar 48000 -ab 128k -ac 2 " + dst},
        {"3GP",
         "./ostrand converter.exe -i " + src + " -s 176x144 -b 120k -ar 8000 -ab 4.75k -ac 1 " + dst},
        // AVI: size "Auto" drops -s, the audio bit rate box shows its first choice.
        {"AVI",
         "./ostrand converter.exe -i " + src + " -vcodec wmv2 -b 1200k -ar 44100 -ab 64k -ac 2 " + dst},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildEncoderCommandLine(DefaultJob(Named(catalogue, c.profile))), c.line) << c.profile;
}

TEST(EncoderCommandLine, AllAutoJobHasOnlyTheFixedPartsAndThePaths) {
    ConvertJob job;
    job.m_nTaskId = 4;
    job.m_csSourceFile = "in.flv";
    job.m_csTargetFile = "out.mp4";
    job.m_csTargetType = ".mp4";
    for (std::string* field : {&job.m_csVideoSize, &job.m_csVideoCodec, &job.m_csVideoBitRate,
                               &job.m_csVideoFrameRate, &job.m_csAudioCodec, &job.m_csAudioBitRate,
                               &job.m_csAudioSampleRate, &job.m_csAudioChannel})
        *field = "Auto";
    EXPECT_EQ(BuildEncoderCommandLine(job), "./ostrand converter.exe -i \"in.flv\" \"out.mp4\" ");
    EXPECT_EQ(BuildEncoderArguments(job, "/opt/t/ostrand"),
              (Args{"/opt/t/ostrand", "converter.exe", "-i", "in.flv", "out.mp4"}));
}

TEST(EncoderCommandLine, OnlyTheExactPspNameAddsTheFormat) {
    const auto catalogue = BuildProfileCatalogue(CatalogueProgram::Tavolin);
    const ConvertJob psp = DefaultJob(Named(catalogue, "PSP"));
    const std::string near[] = {
        "psp - PSP MPEG-4 Video (*.mp4)", "PSP - PSP MPEG-4 Video (*.mp4) ",
        " PSP - PSP MPEG-4 Video (*.mp4)", "PSP - PSP MPEG-4 Video (*.MP4)", "PSP", ""};
    for (const std::string& name : near) {
        ConvertJob job = psp;
        job.m_csTargetName = name;
        EXPECT_EQ(BuildEncoderCommandLine(job).find("-f psp"), std::string::npos) << name;
        EXPECT_EQ(BuildEncoderArguments(job)[4], "-s") << name;
    }
    EXPECT_EQ(BuildEncoderArguments(psp)[4], "-f");
    EXPECT_EQ(BuildEncoderArguments(psp)[5], "psp");
}

TEST(EncoderCommandLine, ValuesAreInsertedUnchangedAndOnlyAutoIsLeftOut) {
    ConvertJob job;
    job.m_csSourceFile = "a";
    job.m_csTargetFile = "b";
    job.m_csVideoFrameRate = "25";  // never reaches the encoder
    job.m_csVideoSize = "auto";     // not "Auto": written as it stands
    job.m_csVideoCodec = "Auto";
    job.m_csVideoBitRate = "";      // empty is not "Auto" either
    job.m_csAudioCodec = "Auto";
    job.m_csAudioBitRate = " 96";
    job.m_csAudioSampleRate = "Auto";
    job.m_csAudioChannel = "Auto";
    EXPECT_EQ(BuildEncoderCommandLine(job),
              "./ostrand converter.exe -i \"a\" -s auto -b k -ab  96k \"b\" ");
    EXPECT_EQ(BuildEncoderArguments(job),
              (Args{"./ostrand", "converter.exe", "-i", "a", "-s", "auto", "-b", "k", "-ab", " 96k", "b"}));
}

// Every converting profile, with its defaults and with each value its boxes offer: the
// text splits into exactly the arguments the encoder is started with. (The FLV entry
// converts nothing; its empty boxes leave empty values, which no text can show as
// arguments of their own.)
TEST(EncoderCommandLine, TextSplitsIntoTheStartedArguments) {
    const char* paths[][2] = {
        {kSource, kTarget},
        {"/tmp/plain.flv", "/tmp/plain.3gp"},
        {"/tmp/tab\there/it's.flv", "/tmp/back\\slash\\x.mp4"},
        {"/tmp/ lead and trail .flv", "/tmp/-dash:colon.avi"},
    };
    int checked = 0;
    for (const ConvertProfile& profile : BuildProfileCatalogue(CatalogueProgram::Pellux)) {
        const OptionBoxes defaults = FillOptionBoxes(profile);
        std::vector<OptionBoxes> variants{defaults};
        for (OptionBox OptionBoxes::*box : {&OptionBoxes::m_size, &OptionBoxes::m_videoBitRate,
                                            &OptionBoxes::m_audioBitRate, &OptionBoxes::m_videoCodec}) {
            for (std::size_t i = 0; i < (defaults.*box).m_items.size(); ++i) {
                OptionBoxes v = defaults;
                (v.*box).m_nSelected = static_cast<int>(i);
                variants.push_back(v);
            }
        }
        for (const OptionBoxes& v : variants) {
            for (const auto& p : paths) {
                ConvertJob job;
                job.m_csSourceFile = p[0];
                job.m_csTargetFile = p[1];
                ReadJobFromSelection(job, &profile, SelectedOptions(v));
                EXPECT_EQ(platform::SplitCommandLine(BuildEncoderCommandLine(job)),
                          BuildEncoderArguments(job))
                    << BuildEncoderCommandLine(job);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 12 * 4 * 10);
}

TEST(EncoderCommandLine, PathWithDoubleQuoteStaysOneArgument) {
    ConvertJob job;
    job.m_csSourceFile = "/tmp/say \"hi\" -ac 9.flv";
    job.m_csTargetFile = "/tmp/out.mp4";
    for (std::string* field : {&job.m_csVideoSize, &job.m_csVideoCodec, &job.m_csVideoBitRate,
                               &job.m_csAudioCodec, &job.m_csAudioBitRate,
                               &job.m_csAudioSampleRate, &job.m_csAudioChannel})
        *field = "Auto";
    const Args args = BuildEncoderArguments(job, "/x/ostrand");
    EXPECT_EQ(args, (Args{"/x/ostrand", "converter.exe", "-i", job.m_csSourceFile, "/tmp/out.mp4"}));
    // The text cannot carry it: splitting it would forge an option.
    EXPECT_NE(platform::SplitCommandLine(BuildEncoderCommandLine(job)),
              BuildEncoderArguments(job));
}

}  // namespace
