#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>

// Which addresses the clipboard watcher may offer: none that the task list already holds,
// and none it offered within the last minute, so that copying the same address again, or
// a program that copies on every selection, does not open the dialog over and over.
// Drops and the Add button never ask.
class ClipboardDuplicates {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Listed = std::function<bool(std::string_view address)>;

    static constexpr std::chrono::seconds kQuietTime{60};

    explicit ClipboardDuplicates(Clock clock = &std::chrono::steady_clock::now);

    // True when `address` may be offered, which then counts as offered now. Compared
    // without the white space around it, as the task list keeps it.
    bool Admit(std::string_view address, const Listed& listed);

private:
    Clock m_clock;
    std::map<std::string, std::chrono::steady_clock::time_point, std::less<>> m_offered;
};
