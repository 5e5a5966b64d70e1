#pragma once
// What a click on Start Conversion decides before anything runs: the destination
// folder, whether to remember it, the source file, or the one reason to refuse.

#include <functional>
#include <string>
#include <string_view>

// The texts of the two boxes as the user left them.
struct StartRequest {
    std::string destination;
    std::string source;
};

// How the decision sees the file system; the window answers from the disk, tests from
// a table.
struct FileQueries {
    std::function<bool(const std::string&)> IsFolder;
    std::function<bool(const std::string&)> Exists;  // a file or a folder
};

enum class StartRefusal {
    None,
    BadDestination,
    NoSource,
    NotVideo,
    MissingSource,
};

struct StartDecision {
    StartRefusal refusal = StartRefusal::None;
    // Set once the destination has passed, even when the source is refused then: the
    // folder is remembered all the same.
    bool rememberFolder = false;
    std::string destination;  // trimmed, ending with '/'
    std::string source;       // trimmed, letter case as typed
};

// The checks in their fixed order: destination, then source (empty, not a video file
// type in any letter case, missing). The destination must be an absolute path of an existing
// folder: a relative one would depend on whatever directory the program was started in.
StartDecision DecideStart(const StartRequest& request, const FileQueries& files);

// The message box text for a refusal; empty for None.
std::string_view RefusalMessage(StartRefusal refusal);
