#pragma once
#include <chrono>
#include <string>

namespace platform {

class AutoResetEvent;

// A pipe from a child to us: the child gets the write end (handed over by
// Process::Start), we read without ever blocking. No other child inherits either end.
class Pipe {
public:
    Pipe() = default;
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool Open(std::string* why);
    int WriteEnd() const { return m_write; }
    // Once the child has its copy: the input then ends when the child's writers are gone.
    void CloseWriteEnd();

    enum class Wake { Input, Event, TimeUp };
    // Waits until there is input or its end, `event` is signalled (the signal is left for
    // the caller to take), or the time is up. Once the input has ended, only the event
    // and the time count.
    Wake Wait(AutoResetEvent* event, std::chrono::milliseconds timeout);
    // Appends what is there to `text` without waiting; false once the input has ended.
    bool Read(std::string& text);
    bool HasEnded() const { return m_read < 0; }

private:
    void CloseReadEnd();

    int m_read = -1;
    int m_write = -1;
};

}  // namespace platform
