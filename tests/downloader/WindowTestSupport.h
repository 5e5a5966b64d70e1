#pragma once
// Shared by the main window's tests, which WindowTestMain.cpp runs: the fresh home
// folder and task store files.

#include <initializer_list>
#include <string>
#include <vector>

#include <QString>

#include "TestRegistry.h"
#include "support/BoxRecorder.h"

// The root of the fresh home and XDG folders that the test program runs in.
QString TestHome();

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
