#include "scheduler/WorkerLink.h"

#include <utility>

WorkerLink::WorkerLink(MessagePoster& poster, FileErrorPrompt* prompt) : m_poster(&poster), m_prompt(prompt)
{
}

template <typename Call>
void WorkerLink::Pass(Call&& call)
{
    MessagePoster* poster = nullptr;
    FileErrorPrompt* prompt = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_poster)
            return;
        poster = m_poster;
        prompt = m_prompt;
        ++m_inFlight;
    }
    std::forward<Call>(call)(*poster, prompt);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (--m_inFlight == 0)
        m_idle.notify_all();
}

void WorkerLink::PostTaskReport(std::int32_t taskId, std::int32_t code, std::int64_t value)
{
    Pass([&](MessagePoster& poster, FileErrorPrompt*) { poster.PostTaskReport(taskId, code, value); });
}

void WorkerLink::PostConvertNext(int wParam)
{
    Pass([&](MessagePoster& poster, FileErrorPrompt*) { poster.PostConvertNext(wParam); });
}

void WorkerLink::PostTaskDetail(std::int32_t taskId, std::string text)
{
    Pass([&](MessagePoster& poster, FileErrorPrompt*) { poster.PostTaskDetail(taskId, std::move(text)); });
}

void WorkerLink::ShowFileError(const std::string& message)
{
    Pass([&](MessagePoster&, FileErrorPrompt* prompt) {
        if (prompt)
            prompt->ShowFileError(message);
    });
}

void WorkerLink::Cut()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_poster = nullptr;
    m_prompt = nullptr;
    m_idle.wait(lock, [this] { return m_inFlight == 0; });
}
