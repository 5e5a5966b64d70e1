#include "fetch/ReportPacer.h"

#include <algorithm>
#include <utility>

#include "tasks/TaskReport.h"

ReportPacer::ReportPacer(Clock::duration interval, Post post) : m_interval(interval), m_post(std::move(post))
{
    m_paced[0].code = REPORT_PROGRESS;
    m_paced[1].code = REPORT_ELAPSED;
}

void ReportPacer::Offer(std::int32_t code, std::int64_t value, Clock::time_point now)
{
    ++m_offers;
    const auto paced =
        std::find_if(m_paced.begin(), m_paced.end(), [code](const Paced& p) { return p.code == code; });
    if (paced == m_paced.end()) {
        FlushHeld(now);
        m_post(code, value);
        return;
    }
    if ((paced->held ? paced->held : paced->posted) == value)
        return;
    if (paced->posted && now - paced->postedAt < m_interval) {
        if (!paced->held)
            paced->heldOrder = m_offers;
        paced->held = value;
        return;
    }
    paced->held.reset();
    FlushHeld(now);
    Emit(*paced, value, now);
}

void ReportPacer::PostDue(Clock::time_point now)
{
    for (const Paced& paced : m_paced)
        if (paced.held && now - paced.postedAt >= m_interval) {
            FlushHeld(now);
            return;
        }
}

void ReportPacer::Emit(Paced& paced, std::int64_t value, Clock::time_point now)
{
    paced.posted = value;
    paced.postedAt = now;
    m_post(paced.code, value);
}

void ReportPacer::FlushHeld(Clock::time_point now)
{
    std::array<Paced*, 2> held{};
    std::size_t count = 0;
    for (Paced& paced : m_paced)
        if (paced.held)
            held[count++] = &paced;
    std::sort(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(count),
              [](const Paced* a, const Paced* b) { return a->heldOrder < b->heldOrder; });
    for (std::size_t i = 0; i < count; ++i)
        Emit(*held[i], *std::exchange(held[i]->held, std::nullopt), now);
}
