#pragma once
// The local stand-in for the video service (video_service.py), started on 127.0.0.1
// with an ephemeral port for one test and stopped with it.

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/TempFolder.h"

class VideoService {
public:
    explicit VideoService(std::vector<std::string> extraArguments = {});
    ~VideoService();
    VideoService(const VideoService&) = delete;
    VideoService& operator=(const VideoService&) = delete;

    int Port() const { return m_port; }
    std::string Host() const;                                // "127.0.0.1:PORT"
    std::string WatchUrl(const std::string& videoId) const;  // the watch page of videoId
    // A folder of the test's own, removed with the service.
    const std::string& Folder() const { return m_folder.Root(); }
    // Every request head received so far, in order, byte for byte.
    std::vector<std::string> Requests() const;
    // Only the request lines ("GET /v/... HTTP/1.1").
    std::vector<std::string> RequestLines() const;
    // Body byte i of every video the service serves.
    static std::string Body(std::size_t size);

private:
    void Stop();

    std::FILE* m_output = nullptr;  // the service's standard output
    pid_t m_pid = -1;
    int m_port = 0;
    TempFolder m_folder;
    std::string m_logPath;
};
