#pragma once
// What both scheduler test programs need: a mailbox pump, a prompt nobody answers,
// and the row texts of a recording view.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "fetch/FileErrorPrompt.h"
#include "support/RecordingRowView.h"
#include "tasks/TaskScheduler.h"

class NoPrompt : public FileErrorPrompt {
public:
    void ShowFileError(const std::string&) override {}
};

inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Drains the mailbox the way the window does until the condition holds; false after
// the time limit.
inline bool PumpUntil(TaskScheduler& scheduler, const std::function<bool()>& done,
                      std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        scheduler.DispatchPending();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

inline bool StatusIs(const RecordingRowView& rows, int row, const std::string& text)
{
    return row < static_cast<int>(rows.rows.size()) && rows.Cell(row, COLUMN_STATUS) == text;
}
