#include "support/VideoService.h"

#include <signal.h>

#include <cstdio>
#include <stdexcept>

#include "support/Files.h"

VideoService::VideoService(std::vector<std::string> extraArguments) : m_logPath(m_folder.Path("requests.log"))
{
    // The shell prints its process id, which the service takes over, then the service its port.
    std::string command =
        "echo $$; exec python3 '" TAVOLIN_TESTS_DIR "/support/video_service.py' --log " + m_logPath;
    for (const std::string& argument : extraArguments)
        command += " '" + argument + "'";
    m_output = ::popen(command.c_str(), "re");
    if (!m_output || std::fscanf(m_output, "%d %d", &m_pid, &m_port) != 2) {
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
    if (m_pid > 0)
        ::kill(m_pid, SIGTERM);
    if (m_output)
        ::pclose(m_output);
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
    const std::string log = ReadText(m_logPath);
    std::vector<std::string> heads;
    for (std::size_t start = 0, end; (end = log.find("\r\n\r\n", start)) != std::string::npos;
         start = end + 4)
        heads.push_back(log.substr(start, end + 4 - start));
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
