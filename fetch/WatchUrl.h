#pragma once
#include <string>
#include <string_view>

// The one test of a watch-page address: the text must begin, in any letter case,
// with "http://" + host + "/watch?v=", and everything after that prefix, exactly as
// typed, is the video identifier. It must not be empty and must hold no control
// character, since it travels into request addresses (a line break would let it
// smuggle header lines).

// Uses the run's service host (ServiceConfig::Current()).
bool ParseWatchUrl(std::string_view text, std::string& id);
// Pure: the host is given.
bool ParseWatchUrl(std::string_view text, std::string& id, std::string_view host);

// "http://" + host + "/watch?v=", in lower case.
std::string WatchUrlPrefix(std::string_view host);
