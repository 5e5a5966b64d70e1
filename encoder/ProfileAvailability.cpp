#include "encoder/ProfileAvailability.h"

#include <algorithm>
#include <ostream>
#include <variant>

#include "convert/EncoderCommandLine.h"
#include "encoder/ArgumentTranslation.h"
#include "encoder/Conversion.h"
#include "encoder/FailureReason.h"
#include "encoder/FfmpegListing.h"
#include "encoder/ProgramLookup.h"

namespace {

// The muxer ffmpeg picks for each container ostrand tells apart.
const char* MuxerFor(Container container)
{
    switch (container) {
    case Container::Mp4:
        return "mp4";
    case Container::Psp:
        return "psp";
    case Container::ThreeGp:
        return "3gp";
    case Container::Asf:
        return "asf";
    case Container::Avi:
        return "avi";
    case Container::Other:
        break;
    }
    return nullptr;
}

void AddOnce(std::vector<std::string>& names, const std::string& name)
{
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
}

bool Has(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Every index of a box, or none for a box without choices.
std::vector<int> Indexes(const OptionBox& box)
{
    std::vector<int> indexes;
    for (int i = 0; i < static_cast<int>(box.items.size()); ++i)
        indexes.push_back(i);
    if (indexes.empty())
        indexes.push_back(-1);
    return indexes;
}

}  // namespace

ProfileNeeds NeedsOf(const ConvertProfile& profile)
{
    ProfileNeeds needs;
    // The FLV entry keeps the download as it is: nothing is converted.
    if (profile.extension == ".flv")
        return needs;
    const OptionBoxes defaults = FillOptionBoxes(profile);
    for (int size : Indexes(defaults.size)) {
        for (int codec : Indexes(defaults.videoCodec)) {
            OptionBoxes boxes = defaults;
            boxes.size.selected = size;
            boxes.videoCodec.selected = codec;
            ConvertJob job;
            ReadJobFromSelection(job, &profile, SelectedOptions(boxes));
            job.m_csSourceFile = "source.flv";
            job.m_csTargetFile = "target" + job.m_csTargetType;
            std::vector<std::string> args = BuildEncoderArguments(job);
            args.erase(args.begin());
            const auto parsed = ParseEncoderOptions(args);
            const auto* options = std::get_if<EncoderOptions>(&parsed);
            if (!options)
                continue;
            if (auto video = VideoEncoderFor(*options, options->size))
                AddOnce(needs.encoders, *video);
            if (auto audio = AudioEncoderFor(*options))
                AddOnce(needs.encoders, *audio);
            if (const char* muxer = MuxerFor(ContainerFor(*options)))
                AddOnce(needs.muxers, muxer);
        }
    }
    return needs;
}

std::string MissingFor(const ProfileNeeds& needs, const std::vector<std::string>& encoders,
                       const std::vector<std::string>& muxers)
{
    std::string reason;
    auto add = [&](const std::string& part) { reason += (reason.empty() ? "" : ", ") + part; };
    for (const std::string& encoder : needs.encoders) {
        if (!Has(encoders, encoder))
            add(MissingEncoderReason(encoder));
    }
    for (const std::string& muxer : needs.muxers) {
        if (!Has(muxers, muxer))
            add(MissingMuxerReason(muxer));
    }
    return reason;
}

std::string ListingLine(const std::string& name, const std::string& reason)
{
    if (reason.empty())
        return "ok\t" + name + "\n";
    return "unavailable\t" + name + "\t" + reason + "\n";
}

int ListProfiles(StopSignals& stops, std::ostream& out, std::ostream& messages)
{
    std::vector<std::string> encoders, muxers;
    std::string unasked;
    if (auto ffmpeg = FindProgram("ffmpeg", ProgramSearchPath())) {
        encoders = QueryFfmpegListing(*ffmpeg, "-encoders", stops);
        muxers = QueryFfmpegListing(*ffmpeg, "-muxers", stops);
        if (encoders.empty() || muxers.empty())
            unasked = "cannot ask ffmpeg what it has";
    } else {
        unasked = "cannot find the ffmpeg program";
    }
    if (!unasked.empty())
        messages << "ostrand: " << unasked << "\n";
    for (const ConvertProfile& profile : BuildProfileCatalogue(CatalogueProgram::Tavolin)) {
        const ProfileNeeds needs = NeedsOf(profile);
        const bool needsNothing = needs.encoders.empty() && needs.muxers.empty();
        out << ListingLine(profile.name,
                           unasked.empty() || needsNothing ? MissingFor(needs, encoders, muxers) : unasked);
    }
    out.flush();
    return unasked.empty() ? kExitConverted : kExitToolMissing;
}
