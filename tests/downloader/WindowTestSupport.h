#pragma once
// Shared by the main window's tests: the registry of test objects run by
// WindowTestMain.cpp, recorders that stand in for message boxes and the desktop, and
// task store fixtures.

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>

#include "skin/DesktopShell.h"
#include "skin/MessageBoxes.h"

using WindowTestFactory = std::function<QObject*()>;
std::vector<WindowTestFactory>& WindowTests();

struct RegisterWindowTest {
    explicit RegisterWindowTest(WindowTestFactory factory) { WindowTests().push_back(std::move(factory)); }
};

// The root of the fresh home and XDG folders that the test program runs in.
QString TestHome();

// Takes the message boxes' place for as long as it lives.
class BoxRecorder : public MessageBoxes {
public:
    BoxRecorder() { MessageBoxes::Install(this); }
    ~BoxRecorder() override { MessageBoxes::Install(nullptr); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    void Exclaim(QWidget*, const QString& caption, const QString& text) override
    {
        m_boxes.push_back(caption + QStringLiteral(" | ") + text);
    }

    QStringList m_boxes;  // "caption | text"
};

// Takes the desktop's place: records what would have been started or shown.
class ShellRecorder : public DesktopShell {
public:
    ShellRecorder() { DesktopShell::Install(this); }
    ~ShellRecorder() override { DesktopShell::Install(nullptr); }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    void ShowInFolder(const QString& path) override { m_calls << QStringLiteral("show ") + path; }
    void OpenFolder(const QString& path) override { m_calls << QStringLiteral("folder ") + path; }
    void OpenDocument(const QString& path) override { m_calls << QStringLiteral("open ") + path; }
    bool StartProgram(const QString& program, const QStringList& arguments) override
    {
        m_calls << QStringLiteral("start ") + program + QStringLiteral(" [") + arguments.join(QStringLiteral("][")) +
                       QStringLiteral("]");
        return true;
    }

    QStringList m_calls;
};

// One task as the store file describes it.
struct StoredTask {
    std::string name;
    std::string url = "http://127.0.0.1:9/watch?v=none";
    std::string targetType = ".mp4";
    bool finished = false;
    bool allFinished = false;
    std::string folder;  // the file path is folder + name
};

inline StoredTask TaskNamed(std::string name)
{
    StoredTask task;
    task.name = std::move(name);
    return task;
}

// A task store in the form the program writes, with only the keys the tests need.
inline std::string StoreText(const std::vector<StoredTask>& tasks)
{
    std::string text = "[TASKSINFO]\r\nTASKS_NUMBER=" + std::to_string(tasks.size()) + "\r\n";
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const StoredTask& task = tasks[i];
        const std::string n = std::to_string(i);
        text += "TASKURL_" + n + "=" + task.url + "\r\n";
        text += "TASKFILENAME_" + n + "=" + task.name + "\r\n";
        text += "TASKFILEPATH_" + n + "=" + task.folder + task.name + "\r\n";
        text += "m_csTargetFile" + n + "=" + task.folder + task.name + task.targetType + "\r\n";
        text += "m_csTargetName" + n + "=Target of " + task.name + "\r\n";
        text += "m_csTargetType" + n + "=" + task.targetType + "\r\n";
        if (task.finished)
            text += "TASKFINISHED_" + n + "=TRUE\r\n";
        if (task.allFinished)
            text += "ALLFINISHED_" + n + "=TRUE\r\n";
    }
    return text;
}

inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}
