#pragma once
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QString>

#include "skin/MessageBoxes.h"

// The test objects of dialogs_tests, run one after another by its main.
using TestFactory = std::function<QObject*()>;
std::vector<TestFactory>& DialogTests();

struct RegisterDialogTest {
    explicit RegisterDialogTest(TestFactory factory) { DialogTests().push_back(std::move(factory)); }
};

// Takes the message boxes' place for as long as it lives.
class RecordedBoxes : public MessageBoxes {
public:
    struct Box {
        QString caption;
        QString text;
    };

    RecordedBoxes() { MessageBoxes::Install(this); }
    ~RecordedBoxes() override { MessageBoxes::Install(nullptr); }
    RecordedBoxes(const RecordedBoxes&) = delete;
    RecordedBoxes& operator=(const RecordedBoxes&) = delete;

    void Exclaim(QWidget*, const QString& caption, const QString& text) override
    {
        m_boxes.push_back({caption, text});
    }

    std::vector<Box> m_boxes;
};

inline std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Every entry of a folder, by name, sorted.
inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
