#pragma once
// Starting programs, probing media and temporary folders for the encoder's tests.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace encoder_test {

std::string OstrandPath();

// A folder of its own under /tmp, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

struct SpawnOptions {
    std::string workingFolder;                    // empty: the test's own
    std::map<std::string, std::string> environment;  // replaces these variables
    std::string stdoutFile;                       // empty: /dev/null
    std::string stderrFile;                       // empty: /dev/null
};

// Starts argv (argv[0] a path) directly, never through a shell.
pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

struct Exit {
    bool exited = false;  // else ended by a signal
    int code = 0;         // exit status or signal number
};

// Waits at most `limit`; none when the process is still running (it is left running).
std::optional<Exit> WaitFor(pid_t pid, std::chrono::milliseconds limit);

struct RunResult {
    Exit exit;
    std::string out;
    std::string err;
};

// Runs to the end (killed after `limit`, which fails the calling test).
RunResult RunProgram(const std::vector<std::string>& argv, const SpawnOptions& options = {},
              std::chrono::milliseconds limit = std::chrono::seconds(120));

// Children of `pid`, read from /proc.
std::vector<pid_t> ChildrenOf(pid_t pid);
// Whether `pid` exists and has not ended (a zombie has ended).
bool IsRunning(pid_t pid);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
long long FileSize(const std::string& path);  // -1 when missing

// What ffprobe reads in a file.
struct MediaInfo {
    bool readable = false;
    std::string formatName;
    std::string majorBrand;
    std::string videoCodec;
    int width = 0;
    int height = 0;
    std::string audioCodec;
    int sampleRate = 0;
    int channels = 0;
    int videoStreams = 0;
    int audioStreams = 0;
};

MediaInfo Probe(const std::string& path);

// Short clips made with ffmpeg's own sources: Sorenson video and MP3 sound in FLV.
void MakeFlv(const std::string& path, int width, int height, bool withSound, double seconds);

}  // namespace encoder_test
