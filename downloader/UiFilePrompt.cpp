#include "downloader/UiFilePrompt.h"

#include <QMetaObject>
#include <QThread>
#include <QWidget>

#include "desktop/MessageBoxes.h"

// Lives as long as the last queued box that refers to it, which may outlast the prompt.
struct UiFilePrompt::Shared {
    std::mutex mutex;
    std::condition_variable answered;
    bool bClosed = false;
};

UiFilePrompt::UiFilePrompt(QWidget* owner) : m_owner(owner), m_shared(std::make_shared<Shared>()) {}

UiFilePrompt::~UiFilePrompt()
{
    Close();
}

void UiFilePrompt::ShowFileError(const std::string& message)
{
    QWidget* owner = m_owner;
    const QString text = QString::fromStdString(message);
    std::shared_ptr<Shared> shared = m_shared;
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (shared->bClosed)
        return;
    if (QThread::currentThread() == owner->thread()) {
        lock.unlock();
        MessageBoxes::Current().Exclaim(owner, QStringLiteral("Tavolin"), text);
        return;
    }
    bool done = false;
    auto* flag = &done;
    // The queued call runs only while the owner exists; `flag` lives on this thread's
    // stack until the wait below ends, and the wait ends only when the call has set it
    // or the prompt was closed, after which the call no longer touches it.
    QMetaObject::invokeMethod(
        owner,
        [owner, text, shared, flag] {
            {
                std::lock_guard<std::mutex> guard(shared->mutex);
                if (shared->bClosed)
                    return;
            }
            MessageBoxes::Current().Exclaim(owner, QStringLiteral("Tavolin"), text);
            std::lock_guard<std::mutex> guard(shared->mutex);
            if (!shared->bClosed)
                *flag = true;
            shared->answered.notify_all();
        },
        Qt::QueuedConnection);
    shared->answered.wait(lock, [&] { return done || shared->bClosed; });
}

void UiFilePrompt::Close()
{
    std::lock_guard<std::mutex> guard(m_shared->mutex);
    m_shared->bClosed = true;
    m_shared->answered.notify_all();
}
