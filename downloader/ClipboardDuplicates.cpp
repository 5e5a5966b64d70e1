#include "downloader/ClipboardDuplicates.h"

#include <utility>

#include "platform/Text.h"

ClipboardDuplicates::ClipboardDuplicates(Clock clock) : m_clock(std::move(clock)) {}

bool ClipboardDuplicates::Admit(std::string_view address, const Listed& listed)
{
    const std::string_view trimmed = platform::TrimWhiteSpace(address);
    const auto now = m_clock();
    // Old offers are forgotten, so a long run's copies do not pile up.
    std::erase_if(m_offered, [&](const auto& offer) { return now - offer.second >= kQuietTime; });
    if (m_offered.contains(trimmed) || listed(trimmed))
        return false;
    m_offered.emplace(std::string(trimmed), now);
    return true;
}
