#pragma once
#include <string>
#include <string_view>

// Where the video service lives, fixed for the whole run. The defaults are the real
// service; optional keys "SERVICE_HOST" and "CDN_DOMAIN" in section "TASKSINFO" of
// settings.ini point a run elsewhere (a host may carry a port, "127.0.0.1:8080").
struct ServiceConfig {
    static constexpr std::string_view kDefaultServiceHost = "www.youtube.com";
    static constexpr std::string_view kDefaultCdnDomain = ".googlevideo.com";

    std::string serviceHost{kDefaultServiceHost};  // the web host of watch pages
    std::string cdnDomain{kDefaultCdnDomain};      // the domain video files come from

    // Reads settings.ini; a missing file, a missing key or an unusable value keeps
    // the default.
    static ServiceConfig Load(const std::string& settingsPath);

    // The run's configuration. Until Install is called it holds the defaults.
    static ServiceConfig Current();
    // Called once at start, before any worker runs.
    static void Install(const ServiceConfig& config);

    // A host name, optionally with a port: not empty, no blanks, no control
    // characters and nothing that would end the host part of an address.
    static bool IsUsableHost(std::string_view host);

    bool operator==(const ServiceConfig&) const = default;
};

// The data folder shared by both programs: $XDG_DATA_HOME, or ~/.local/share, followed
// by "/Tavolin Data" (the place QStandardPaths' generic data location gives). Empty
// when no home folder can be found.
std::string DataFolderPath();
