#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "fetch/FileErrorPrompt.h"
#include "tasks/MessagePoster.h"

// What the download workers reach the window through: its mailbox and its file-error
// prompt, passed on until Cut(). A worker let go at exit (a write stuck on a hung network
// file system) may outlive the window; it holds this link, and once the link is cut its
// posts and prompts go nowhere instead of into freed objects.
class WorkerLink : public MessagePoster, public FileErrorPrompt {
public:
    // `prompt` may be null: a file error is then only reported.
    WorkerLink(MessagePoster& poster, FileErrorPrompt* prompt);

    void PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value) override;
    void PostConvertNext(int wParam) override;
    void PostTaskDetail(std::int32_t taskId, std::string text) override;
    void ShowFileError(const std::string& message) override;

    // Passes nothing on from now on; returns once the calls already passed on have
    // returned (a prompt must have been closed first, or this waits for its answer).
    void Cut();

private:
    // Runs `call` unless the link is cut, counted while it runs.
    template <typename Call>
    void Pass(Call&& call);

    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_inFlight = 0;
    MessagePoster* m_poster;
    FileErrorPrompt* m_prompt;
};
