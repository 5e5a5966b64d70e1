#include "desktop/EndingBatch.h"

#include <algorithm>
#include <utility>

#include <QStringList>

namespace {

constexpr int kNamesShown = 5;

QString Counted(qsizetype count, const char* what)
{
    return QStringLiteral("%1 %2 %3")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("task") : QStringLiteral("tasks"), QLatin1String(what));
}

}  // namespace

NotificationText DescribeEndings(const std::vector<TaskEnding>& endings)
{
    if (endings.empty())
        return {};
    if (endings.size() == 1) {
        const TaskEnding& ending = endings.front();
        return {ending.status, ending.name, ending.completed ? ending.file : QString()};
    }
    const auto completed =
        std::count_if(endings.begin(), endings.end(), [](const TaskEnding& e) { return e.completed; });
    const auto failed = static_cast<qsizetype>(endings.size()) - completed;
    QString summary;
    if (completed == 0)
        summary = Counted(failed, "failed");
    else if (failed == 0)
        summary = Counted(completed, "completed");
    else
        summary = Counted(completed, "completed") + QStringLiteral(", %1 failed").arg(failed);
    QStringList names;
    for (const TaskEnding& ending : endings) {
        if (names.size() == kNamesShown) {
            names << QStringLiteral("and %1 more").arg(endings.size() - kNamesShown);
            break;
        }
        names << ending.name + QStringLiteral(": ") + ending.status;
    }
    return {summary, names.join(u'\n'), QString()};
}

void EndingBatch::Add(TaskEnding ending, TimePoint now)
{
    if (m_endings.empty())
        m_opened = now;
    m_endings.push_back(std::move(ending));
}

std::optional<EndingBatch::TimePoint> EndingBatch::DueAt() const
{
    if (m_endings.empty())
        return std::nullopt;
    return m_opened + kWindow;
}

std::vector<TaskEnding> EndingBatch::TakeDue(TimePoint now)
{
    if (m_endings.empty() || now < m_opened + kWindow)
        return {};
    return std::exchange(m_endings, {});
}

void EndingBatch::Clear()
{
    m_endings.clear();
}
