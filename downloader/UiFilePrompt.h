#pragma once
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "fetch/FileErrorPrompt.h"

class QWidget;

// Shows a download worker's file-creation failure as a message box on the UI thread
// while the worker waits for the user to dismiss it. Close() releases every waiting
// worker at once and turns later prompts into no-ops, so the exit sequence never
// waits on a box nobody will answer.
class UiFilePrompt : public FileErrorPrompt {
public:
    // `owner` must outlive the prompt (the main window owns it).
    explicit UiFilePrompt(QWidget* owner);
    ~UiFilePrompt() override;
    UiFilePrompt(const UiFilePrompt&) = delete;
    UiFilePrompt& operator=(const UiFilePrompt&) = delete;

    // Worker threads. Returns once the box is dismissed, or at once after Close().
    void ShowFileError(const std::string& message) override;

    // UI thread.
    void Close();

private:
    struct Shared;

    QWidget* m_owner;
    std::shared_ptr<Shared> m_shared;
};
