#include "convert/ProfileCatalogue.h"

#include <utility>

namespace {

using Choices = std::vector<std::string>;

const Choices kSizes1 = {"240x160", "320x240", "480x272", "640x480"};
const Choices kSizes2 = {"240x160", "320x240", "480x272", "480x320", "640x480"};
const Choices kSizes3 = {"240x160", "320x240", "480x272", "480x320",
                         "480x368", "512x384", "640x480", "720x432"};
const Choices kSizes4 = {"240x160", "320x240", "480x272", "480x320", "480x368",
                         "512x384", "640x480", "720x432", "720x480", "1280x720"};
const Choices kSizes5 = {"160x112", "240x160", "320x240", "720x480"};
const Choices kSizes6 = {"Auto", "320x240", "640x480", "720x576"};
const Choices kSizes7 = {"Auto", "250x240", "320x240", "640x480"};
const Choices kSizes8 = {"128x96", "176x144", "352x288"};

const Choices kVideoRates1 = {"256", "384", "512", "640", "768", "900", "1200", "1500"};
const Choices kVideoRates2 = {"256", "384", "512", "640", "768", "900", "1200", "1500", "2000"};
const Choices kVideoRates3 = {"256", "384", "512", "640", "768", "900", "1200", "1500", "2500"};
const Choices kVideoRates4 = {"216", "256", "384", "512", "768", "900", "1200", "1500", "2000"};
const Choices kVideoRates5 = {"Auto", "64", "768", "1200", "1500", "2000", "4000"};
const Choices kVideoRates6 = {"Auto", "512", "1200", "1500", "2500"};
const Choices kVideoRates7 = {"40", "80", "120", "256", "512"};

const Choices kAudioRates1 = {"64", "80", "96", "128", "160"};
const Choices kAudioRates2 = {"64", "96", "128", "160", "256", "384", "512", "768", "900"};
// The eight bit rates of the AMR narrow-band speech codec.
const Choices kAudioRates3 = {"4.75", "5.15", "5.9", "6.7", "7.4", "7.95", "10.2", "12.2"};

const Choices kAutoOnly = {"Auto"};

ProfileOption Option(std::string csDefault, Choices choices = {})
{
    return ProfileOption{std::move(csDefault), std::move(choices)};
}

// The shape shared by every converting entry; slots not given stay "Auto" with no
// choices, as in a blank profile.
ConvertProfile Converting(std::string name, std::string extension, ProfileOption size,
                          ProfileOption videoCodec, ProfileOption videoBitRate, ProfileOption audioBitRate,
                          std::string audioCodec, std::string sampleRate, std::string channels)
{
    ConvertProfile profile;
    profile.name = std::move(name);
    profile.extension = std::move(extension);
    profile.videoSize = std::move(size);
    profile.videoCodec = std::move(videoCodec);
    profile.videoBitRate = std::move(videoBitRate);
    profile.audioBitRate = std::move(audioBitRate);
    profile.audioCodec = Option(std::move(audioCodec));
    profile.audioSampleRate = Option(std::move(sampleRate));
    profile.audioChannel = Option(std::move(channels));
    return profile;
}

// The entry whose boxes offer "Auto" as the only codec.
ConvertProfile Mp4(std::string name, const char* size, const Choices& sizes, const char* videoRate,
                   const Choices& videoRates, const char* audioRate, const Choices& audioRates,
                   const char* sampleRate)
{
    return Converting(std::move(name), ".mp4", Option(size, sizes), Option("Auto", kAutoOnly),
                      Option(videoRate, videoRates), Option(audioRate, audioRates), "Auto", sampleRate, "2");
}

}  // namespace

std::vector<ConvertProfile> BuildProfileCatalogue(CatalogueProgram program)
{
    std::vector<ConvertProfile> catalogue;
    catalogue.reserve(13);
    if (program == CatalogueProgram::Tavolin) {
        ConvertProfile flv;
        flv.name = "FLV - Flash Video Format Orignal (*.flv)";
        flv.extension = ".flv";
        catalogue.push_back(std::move(flv));
    }
    catalogue.push_back(Mp4("iPod (320x240) MPEG-4 Normal (*.mp4)", "320x240", kSizes1, "1200", kVideoRates1,
                            "64", kAudioRates1, "44100"));
    catalogue.push_back(Mp4("iPod (320x240) MPEG-4 Excellent (*.mp4)", "320x240", kSizes1, "1500",
                            kVideoRates1, "64", kAudioRates1, "44100"));
    catalogue.push_back(Mp4("iPod Touch (480x320) MPEG-4 Normal (*.mp4)", "480x320", kSizes2, "1200",
                            kVideoRates2, "80", kAudioRates1, "44100"));
    catalogue.push_back(Mp4("iPod Touch (480x320) MPEG-4 Excellent (*.mp4)", "480x320", kSizes2, "1500",
                            kVideoRates2, "80", kAudioRates1, "44100"));
    catalogue.push_back(Mp4("iPod Video2 (640x480) MPEG-4 Normal (*.mp4)", "640x480", kSizes1, "1200",
                            kVideoRates1, "80", kAudioRates1, "44100"));
    catalogue.push_back(Mp4("iPod Video2 (640x480) MPEG-4 Excellent (*.mp4)", "640x480", kSizes1, "2500",
                            kVideoRates3, "80", kAudioRates1, "44100"));
    catalogue.push_back(Mp4("iPod Video2 For TV (*.mp4)", "640x480", kSizes3, "2500", kVideoRates3, "80",
                            kAudioRates1, "44100"));
    catalogue.push_back(Mp4("PSP - PSP MPEG-4 Video (*.mp4)", "320x240", kSizes5, "512", kVideoRates4, "64",
                            kAudioRates2, "24000"));
    catalogue.push_back(Mp4("MP4 - MPEG-4 Video (*.mp4)", "640x480", kSizes4, "2500", kVideoRates3, "80",
                            kAudioRates1, "44100"));
    catalogue.push_back(Converting("WMV - Windows Media Video (*.wmv)", ".wmv", Option("320x240", kSizes6),
                                   Option("wmv2", {"wmv2"}), Option("1200", kVideoRates5),
                                   Option("128", kAudioRates1), "adpcm_ima_wav", "48000", "2"));
    catalogue.push_back(Converting("AVI - Audio-Video Interleaved (*.avi)", ".avi", Option("Auto", kSizes7),
                                   Option("wmv2", {"wmv2", "mpeg4"}), Option("1200", kVideoRates6),
                                   Option("Auto", kAudioRates1), "Auto", "44100", "2"));
    catalogue.push_back(Converting("3GP - Cell Phone H.263 (*.3gp)", ".3gp", Option("176x144", kSizes8),
                                   Option("Auto", kAutoOnly), Option("120", kVideoRates7),
                                   Option("4.75", kAudioRates3), "Auto", "8000", "1"));
    return catalogue;
}

std::optional<std::string> OptionBox::SelectedText() const
{
    if (selected < 0 || static_cast<std::size_t>(selected) >= items.size())
        return std::nullopt;
    return items[static_cast<std::size_t>(selected)];
}

namespace {

// The last choice equal to the default wins; a default outside the list selects the
// first choice; an empty list has no selection at all.
OptionBox FillBox(const ProfileOption& option)
{
    OptionBox box;
    box.items = option.choices;
    if (box.items.empty())
        return box;
    box.selected = 0;
    for (std::size_t i = 0; i < box.items.size(); ++i) {
        if (box.items[i] == option.defaultValue)
            box.selected = static_cast<int>(i);
    }
    return box;
}

}  // namespace

OptionBoxes FillOptionBoxes(const ConvertProfile& profile)
{
    OptionBoxes boxes;
    boxes.size = FillBox(profile.videoSize);
    boxes.videoBitRate = FillBox(profile.videoBitRate);
    boxes.audioBitRate = FillBox(profile.audioBitRate);
    boxes.videoCodec = FillBox(profile.videoCodec);
    return boxes;
}

OptionSelection SelectedOptions(const OptionBoxes& boxes)
{
    OptionSelection selection;
    selection.m_csVideoSize = boxes.size.SelectedText();
    selection.m_csVideoCodec = boxes.videoCodec.SelectedText();
    selection.m_csVideoBitRate = boxes.videoBitRate.SelectedText();
    selection.m_csAudioBitRate = boxes.audioBitRate.SelectedText();
    return selection;
}

void ReadJobFromSelection(ConvertJob& job, const ConvertProfile* profile, const OptionSelection& selection)
{
    job.m_csTargetType = ".mp4";
    if (profile != nullptr) {
        job.m_csTargetType = profile->extension;
        job.m_csTargetName = profile->name;
        job.m_csAudioSampleRate = profile->audioSampleRate.defaultValue;
        job.m_csAudioChannel = profile->audioChannel.defaultValue;
        job.m_csAudioCodec = profile->audioCodec.defaultValue;
    }
    if (selection.m_csVideoSize)
        job.m_csVideoSize = *selection.m_csVideoSize;
    if (selection.m_csVideoCodec)
        job.m_csVideoCodec = *selection.m_csVideoCodec;
    if (selection.m_csVideoBitRate)
        job.m_csVideoBitRate = *selection.m_csVideoBitRate;
    if (selection.m_csAudioBitRate)
        job.m_csAudioBitRate = *selection.m_csAudioBitRate;
}
