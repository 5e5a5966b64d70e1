#include "EncoderTestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "encoder/ProgramLookup.h"

extern char** environ;

namespace encoder_test {

namespace fs = std::filesystem;

std::string OstrandPath() {
    return std::string(TAVOLIN_BIN_DIR) + "/ostrand";
}

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "ostrand-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
    std::vector<char*> cargv;
    for (const std::string& arg : argv) cargv.push_back(const_cast<char*>(arg.c_str()));
    cargv.push_back(nullptr);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        if (!options.environment.contains(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : options.environment) env.push_back(name + "=" + value);
    std::vector<char*> cenv;
    for (std::string& entry : env) cenv.push_back(entry.data());
    cenv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    auto out = options.stdoutFile.empty() ? std::string("/dev/null") : options.stdoutFile;
    auto err = options.stderrFile.empty() ? std::string("/dev/null") : options.stderrFile;
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!options.workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.workingFolder.c_str());
    }
    pid_t pid = -1;
    int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    return pid;
}

std::optional<Exit> WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status)) return Exit{true, WEXITSTATUS(status)};
            return Exit{false, WTERMSIG(status)};
        }
        if (r < 0 && errno != EINTR) return Exit{false, 0};
        if (std::chrono::steady_clock::now() >= until) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

RunResult RunProgram(const std::vector<std::string>& argv, const SpawnOptions& options, std::chrono::milliseconds limit) {
    TempFolder logs;
    SpawnOptions withLogs = options;
    if (withLogs.stdoutFile.empty()) withLogs.stdoutFile = logs / "out";
    if (withLogs.stderrFile.empty()) withLogs.stderrFile = logs / "err";
    pid_t pid = Spawn(argv, withLogs);
    auto exit = WaitFor(pid, limit);
    if (!exit) {
        kill(pid, SIGKILL);
        WaitFor(pid, std::chrono::seconds(10));
        throw std::runtime_error(argv[0] + " did not end in time");
    }
    return RunResult{*exit, ReadFile(withLogs.stdoutFile), ReadFile(withLogs.stderrFile)};
}

std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        // "pid (comm) state ppid ...": comm may hold blanks, so read after the last ')'.
        std::string stat = ReadFile(entry.path().string() + "/stat");
        auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == pid) children.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return children;
}

bool IsRunning(pid_t pid) {
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    auto close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return false;
    char state = stat[close + 2];
    return state != 'Z' && state != 'X';
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

long long FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

namespace {

std::string Tool(const char* name) {
    auto path = FindProgram(name, ProgramSearchPath());
    if (!path) throw std::runtime_error(std::string(name) + " is not installed");
    return *path;
}

int ToInt(const std::string& text) {
    return text.empty() ? 0 : std::atoi(text.c_str());
}

}  // namespace

MediaInfo Probe(const std::string& path) {
    RunResult r = RunProgram({Tool("ffprobe"), "-v", "error", "-show_entries",
                       "format=format_name:format_tags=major_brand:stream=codec_type,codec_name,width,height,"
                       "sample_rate,channels",
                       "-of", "default=nw=1", path});
    MediaInfo info;
    info.readable = r.exit.exited && r.exit.code == 0;
    std::istringstream lines(r.out);
    std::string line;
    std::map<std::string, std::string> stream;
    auto flush = [&]() {
        if (stream["codec_type"] == "video") {
            if (info.videoStreams++ == 0) {
                info.videoCodec = stream["codec_name"];
                info.width = ToInt(stream["width"]);
                info.height = ToInt(stream["height"]);
            }
        } else if (stream["codec_type"] == "audio") {
            if (info.audioStreams++ == 0) {
                info.audioCodec = stream["codec_name"];
                info.sampleRate = ToInt(stream["sample_rate"]);
                info.channels = ToInt(stream["channels"]);
            }
        }
        stream.clear();
    };
    // Streams come first, each starting with its codec_name; the format follows.
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (key == "codec_name" && stream.contains("codec_name")) flush();
        if (key == "format_name") {
            flush();
            info.formatName = value;
        } else if (key == "TAG:major_brand") {
            info.majorBrand = value;
        } else {
            stream[key] = value;
        }
    }
    flush();
    return info;
}

void MakeFlv(const std::string& path, int width, int height, bool withSound, double seconds) {
    std::string duration = std::to_string(seconds);
    std::vector<std::string> argv = {Tool("ffmpeg"), "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
                                      "-f", "lavfi", "-i",
                                      "testsrc=size=" + std::to_string(width) + "x" + std::to_string(height) +
                                          ":rate=25:duration=" + duration};
    if (withSound) {
        argv.insert(argv.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + duration,
                                 "-c:a", "libmp3lame", "-ac", "2"});
    }
    argv.insert(argv.end(), {"-c:v", "flv1", "-f", "flv", path});
    RunResult r = RunProgram(argv);
    if (!r.exit.exited || r.exit.code != 0) throw std::runtime_error("cannot make " + path + ": " + r.err);
}

}  // namespace encoder_test
