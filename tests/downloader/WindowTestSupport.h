#pragma once
// Shared by the main window's tests: the registry of test objects run by
// WindowTestMain.cpp, a recorder that stands in for message boxes, and task store files.

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QStringList>

#include "skin/MessageBoxes.h"

using WindowTestFactory = std::function<QObject*()>;
std::vector<WindowTestFactory>& WindowTests();

struct RegisterWindowTest {
    explicit RegisterWindowTest(WindowTestFactory factory) { WindowTests().push_back(std::move(factory)); }
};

// The root of the fresh home and XDG folders that the test program runs in.
QString TestHome();

// Takes the message boxes' place for as long as it lives; records "caption | text".
class BoxRecorder : public MessageBoxes {
public:
    BoxRecorder() { MessageBoxes::Install(this); }
    ~BoxRecorder() override { MessageBoxes::Install(nullptr); }
    void Exclaim(QWidget*, const QString& caption, const QString& text) override
    {
        m_boxes << caption + QStringLiteral(" | ") + text;
    }
    QStringList m_boxes;
};

// One task as the store file describes it; its file path is folder + name.
struct StoredTask {
    std::string name;
    std::string folder = "/videos/";
    std::string url = "http://127.0.0.1:9/watch?v=none";
    bool finished = false;
    bool allFinished = false;
};

inline std::vector<StoredTask> Named(std::initializer_list<const char*> names,
                                     const std::string& folder = "/videos/")
{
    std::vector<StoredTask> tasks;
    for (const char* name : names)
        tasks.push_back(StoredTask{name, folder});
    return tasks;
}

// A task store in the form the program writes, with only the keys the tests need.
inline std::string StoreText(const std::vector<StoredTask>& tasks)
{
    std::string text = "[TASKSINFO]\r\nTASKS_NUMBER=" + std::to_string(tasks.size()) + "\r\n";
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const StoredTask& task = tasks[i];
        const std::string n = std::to_string(i);
        text += "TASKURL_" + n + "=" + task.url + "\r\nTASKFILENAME_" + n + "=" + task.name + "\r\n";
        text += "TASKFILEPATH_" + n + "=" + task.folder + task.name + "\r\n";
        text += "m_csTargetFile" + n + "=" + task.folder + task.name + ".mp4" + "\r\n";
        text += "m_csTargetType" + n + "=" + ".mp4" + "\r\n";
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
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}
