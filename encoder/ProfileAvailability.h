#pragma once
// Whether the installed ffmpeg can make each profile of the catalogue, for
// "ostrand -list-profiles".
//
// The listing, for readers: one line per profile of Tavolin's catalogue (which holds
// every profile of Pellux's), in catalogue order, ended by "\n", fields separated by a
// tab:
//
//   ok<TAB>NAME
//   unavailable<TAB>NAME<TAB>REASON
//
// NAME is the profile's name exactly as the catalogue has it. REASON is short text such
// as "needs the wmv2 encoder" or "needs AMR-NB support"; several join with ", ". The
// entry that keeps the download as it is needs nothing and is always ok. Exit status 0
// when ffmpeg was asked; 3 when it could not be found or asked, every converting
// profile then being unavailable. A conversion started for an unavailable profile
// fails at once with the same reason.

#include <iosfwd>
#include <string>
#include <vector>

#include "convert/ProfileCatalogue.h"
#include "encoder/StopSignals.h"

struct ProfileNeeds {
    std::vector<std::string> encoders;
    std::vector<std::string> muxers;

    bool operator==(const ProfileNeeds&) const = default;
};

// What ffmpeg must have for every choice the profile offers, found by translating
// each offered size and codec as a conversion would.
ProfileNeeds NeedsOf(const ConvertProfile& profile);

// The reason ffmpeg cannot make it with what it has; empty when it can.
std::string MissingFor(const ProfileNeeds& needs, const std::vector<std::string>& encoders,
                       const std::vector<std::string>& muxers);

// "ok\tNAME\n", or "unavailable\tNAME\tREASON\n" for a reason.
std::string ListingLine(const std::string& name, const std::string& reason);

// Asks ffmpeg and writes the listing to `out`; returns the exit status.
int ListProfiles(StopSignals& stops, std::ostream& out, std::ostream& messages);
