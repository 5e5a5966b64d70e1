#include "converter/RunChannel.h"

#include <QMetaObject>
#include <QObject>

#include "converter/RunView.h"

std::shared_ptr<RunChannel> RunChannel::Create(QObject* context, RunView* view)
{
    return std::shared_ptr<RunChannel>(new RunChannel(context, view));
}

RunChannel::RunChannel(QObject* context, RunView* view) : m_context(context), m_view(view) {}

void RunChannel::Post(std::function<void(RunView&)> change)
{
    // Held while posting: the window cannot finish Detach, and so cannot be destroyed,
    // between the test and the post. Posting never waits for the window's thread.
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_context == nullptr)
        return;
    QMetaObject::invokeMethod(
        m_context,
        [self = shared_from_this(), change = std::move(change)]() {
            // A change queued before Detach still arrives here; it is dropped.
            if (RunView* view = self->AttachedView())
                change(*view);
        },
        Qt::QueuedConnection);
}

void RunChannel::Detach()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_context = nullptr;
    m_view = nullptr;
}

bool RunChannel::IsAttached()
{
    return AttachedView() != nullptr;
}

RunView* RunChannel::AttachedView()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_view;
}
