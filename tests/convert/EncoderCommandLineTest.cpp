#include "convert/EncoderCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

// Only exactly "Auto" is left out, and only the exact PSP name, letter case included, adds
// the format.
TEST(EncoderCommandLine, ValuesGoInUnchangedAndPathsStayWhole)
{
    ConvertJob job;
    job.m_csSourceFile = "say \"hi\" -ac 9.flv";
    job.m_csTargetFile = "out.mp4";
    job.m_csVideoSize = "auto";
    job.m_csVideoFrameRate = "25";  // never reaches the encoder
    job.m_csAudioBitRate = " 96";
    for (std::string* f :
         {&job.m_csVideoCodec, &job.m_csAudioCodec, &job.m_csAudioSampleRate, &job.m_csAudioChannel})
        *f = "Auto";
    // The text cannot carry a quote in a path; the arguments can.
    job.m_csTargetName = "PSP - PSP MPEG-4 Video (*.mp4) ";
    EXPECT_EQ(BuildEncoderCommandLine(job),
              "./ostrand converter.exe -i \"say \"hi\" -ac 9.flv\" -s auto -b k -ab  96k \"out.mp4\" ");
    job.m_csTargetName = "psp - PSP MPEG-4 Video (*.mp4)";
    // The progress channel goes last among the options; the target stays the last argument.
    EXPECT_EQ(BuildEncoderArguments(job, "/opt/t/ostrand", 3),
              (Args{"/opt/t/ostrand", "converter.exe", "-i", job.m_csSourceFile, "-s", "auto", "-b", "k",
                    "-ab", " 96k", "-progress-fd", "3", "out.mp4"}));
}

}  // namespace
