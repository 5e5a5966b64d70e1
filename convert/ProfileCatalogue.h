#pragma once
// The built-in output profiles, the rule that fills the four option boxes from one of
// them, and the rule that reads a window's choices back into a ConvertJob. Both
// programs share these; the windows only show what the rules decide.

#include <optional>
#include <string>
#include <vector>

#include "convert/ConvertJob.h"

// One option of a profile: the value it starts with and the values a box offers.
struct ProfileOption {
    std::string defaultValue = "Auto";
    std::vector<std::string> choices;

    bool operator==(const ProfileOption&) const = default;
};

// One catalogue entry. The name is the profile's identity (the command line recognises
// the PSP profile by it).
struct ConvertProfile {
    std::string name;
    std::string extension;  // with its leading dot
    ProfileOption videoSize;
    ProfileOption videoCodec;
    ProfileOption videoBitRate;
    ProfileOption videoFrameRate;  // "Auto" everywhere; nothing reads it
    ProfileOption audioCodec;
    ProfileOption audioBitRate;
    ProfileOption audioSampleRate;
    ProfileOption audioChannel;

    bool operator==(const ConvertProfile&) const = default;
};

enum class CatalogueProgram {
    Tavolin,  // all 13 entries, the FLV entry first
    Pellux,   // the 12 converting entries only
};

std::vector<ConvertProfile> BuildProfileCatalogue(CatalogueProgram program);

// What one drop-down box lists and which entry it selects; -1 leaves it without a
// selection (an empty box).
struct OptionBox {
    std::vector<std::string> items;
    int selected = -1;

    std::optional<std::string> SelectedText() const;
    bool operator==(const OptionBox&) const = default;
};

// The four boxes, in the order the windows fill them.
struct OptionBoxes {
    OptionBox size;
    OptionBox videoBitRate;
    OptionBox audioBitRate;
    OptionBox videoCodec;
};

OptionBoxes FillOptionBoxes(const ConvertProfile& profile);

// The texts selected in the four boxes when a window is confirmed; none for a box
// without a selection.
struct OptionSelection {
    std::optional<std::string> m_csVideoSize;
    std::optional<std::string> m_csVideoCodec;
    std::optional<std::string> m_csVideoBitRate;
    std::optional<std::string> m_csAudioBitRate;
};

OptionSelection SelectedOptions(const OptionBoxes& boxes);

// Fills the profile part of a job from the selected profile (or none) and the boxes'
// selections. The target type falls back to ".mp4" without a profile; a box without a
// selection leaves its field as it was. Paths and the task identifier are untouched.
void ReadJobFromSelection(ConvertJob& job, const ConvertProfile* profile, const OptionSelection& selection);
