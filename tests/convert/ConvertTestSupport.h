#pragma once
// Helpers of the conversion tests: a scratch folder, the stand-in encoder and what it
// reports about itself, and a poster that records what workers post.

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tasks/MessagePoster.h"
#include "tasks/TaskReport.h"

namespace convert_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline std::string FakeEncoder() {
    return std::string(TAVOLIN_BIN_DIR) + "/fake_encoder";
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "convert-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Polls until the condition holds or the time is up.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// What the stand-in wrote about itself into "<target>.run".
struct RunReport {
    pid_t pid = -1;
    std::vector<std::string> args;
    std::string stdinPath;
    std::vector<int> fds;
    std::string sigpipe;
    std::string sigterm;
};

inline RunReport ReadRunReport(const std::string& target) {
    RunReport report;
    std::istringstream in(ReadFile(target + ".run"));
    for (std::string line; std::getline(in, line);) {
        const auto blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (key == "pid")
            report.pid = std::stoi(value);
        else if (key == "arg")
            report.args.push_back(value);
        else if (key == "stdin")
            report.stdinPath = value;
        else if (key == "fd")
            report.fds.push_back(std::stoi(value));
        else if (key == "sigpipe")
            report.sigpipe = value;
        else if (key == "sigterm")
            report.sigterm = value;
    }
    return report;
}

// The stand-in has started once its report is there.
inline pid_t WaitForStart(const std::string& target) {
    if (!Eventually([&] { return std::filesystem::exists(target + ".run"); }))
        return -1;
    return ReadRunReport(target).pid;
}

// A process that has ended and been reaped leaves nothing behind: not even a zombie.
inline bool IsGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Records posts as compact texts: "<id>:<status>" for status reports, "next<w>" for
// convert-next, "<id>/<code>=<value>" for anything else.
class RecordingPoster : public MessagePoster {
public:
    void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) override {
        std::string text = code == REPORT_STATUS
                               ? std::to_string(taskId) + ":" + std::to_string(value)
                               : std::to_string(taskId) + "/" + std::to_string(code) + "=" +
                                     std::to_string(value);
        Record(text);
    }
    void PostConvertNext(int wParam) override { Record("next" + std::to_string(wParam)); }

    std::vector<std::string> Posts() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_posts;
    }

    // Waits until `text` has been posted `times` times.
    bool WaitFor(const std::string& text, int times = 1, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cond.wait_for(lock, timeout, [&] {
            int seen = 0;
            for (const auto& p : m_posts)
                seen += p == text ? 1 : 0;
            return seen >= times;
        });
    }

    // Runs on the posting thread after each post, outside the lock.
    std::function<void(const std::string&)> onPost;

private:
    void Record(const std::string& text) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_posts.push_back(text);
        }
        m_cond.notify_all();
        if (onPost)
            onPost(text);
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<std::string> m_posts;
};

}  // namespace convert_test
