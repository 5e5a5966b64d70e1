#pragma once
#include <cstdint>
#include <string>

// One conversion: the task it belongs to, the two paths and the chosen profile's
// options, all as text. "Auto" in an option leaves the choice to the encoder.
struct ConvertJob {
    std::int32_t m_nTaskId = 0;
    std::string m_csSourceFile;
    std::string m_csTargetFile;
    std::string m_csTargetName;
    std::string m_csTargetType;
    std::string m_csVideoSize;
    std::string m_csVideoCodec;
    std::string m_csVideoBitRate;
    std::string m_csVideoFrameRate;
    std::string m_csAudioCodec;
    std::string m_csAudioBitRate;
    std::string m_csAudioSampleRate;
    std::string m_csAudioChannel;

    bool operator==(const ConvertJob&) const = default;
};
