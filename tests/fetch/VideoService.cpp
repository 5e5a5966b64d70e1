#include "VideoService.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

VideoService::VideoService(std::vector<std::string> extraArguments)
{
    char folderTemplate[] = "/tmp/tavolin-fetch-test-XXXXXX";
    if (!::mkdtemp(folderTemplate))
        throw std::runtime_error("cannot create a temporary folder");
    m_folder = folderTemplate;
    m_logPath = m_folder + "/requests.log";

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe");

    std::vector<std::string> args = {"python3", std::string(TAVOLIN_SOURCE_DIR) + "/tests/fetch/video_service.py",
                                     "--log", m_logPath};
    args.insert(args.end(), extraArguments.begin(), extraArguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const int rc = ::posix_spawnp(&m_pid, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        throw std::runtime_error("cannot start python3");
    }

    // The first line of the service's output is its port.
    std::string line;
    pollfd pfd{pipeFds[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos) {
        if (::poll(&pfd, 1, 20000) <= 0)
            break;
        char buffer[64];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    m_port = std::atoi(line.c_str());
    if (m_port <= 0) {
        Stop();
        throw std::runtime_error("the video service did not start");
    }
}

VideoService::~VideoService()
{
    Stop();
}

void VideoService::Stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
        m_folder.clear();
    }
}

std::string VideoService::Host() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string VideoService::WatchUrl(const std::string& videoId) const
{
    return "http://" + Host() + "/watch?v=" + videoId;
}

std::vector<std::string> VideoService::Requests() const
{
    const std::string log = ReadFileText(m_logPath);
    std::vector<std::string> heads;
    std::size_t start = 0;
    for (;;) {
        const auto end = log.find("\r\n\r\n", start);
        if (end == std::string::npos)
            break;
        heads.push_back(log.substr(start, end + 4 - start));
        start = end + 4;
    }
    return heads;
}

std::vector<std::string> VideoService::RequestLines() const
{
    std::vector<std::string> lines;
    for (const std::string& head : Requests())
        lines.push_back(head.substr(0, head.find("\r\n")));
    return lines;
}

std::string VideoService::Body(std::size_t size)
{
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>(i % 251);
    return body;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}
