#pragma once
#include <filesystem>
#include <string>

// A fresh folder of the test's own, under the system's temporary folder unless told
// otherwise, removed with everything in it.
class TempFolder {
public:
    // Throws std::runtime_error when no folder can be made.
    explicit TempFolder(const std::filesystem::path& under = std::filesystem::temp_directory_path());
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Root() const { return m_root; }
    // `name` inside the folder.
    std::string Path(const std::string& name) const { return m_root + "/" + name; }

private:
    std::string m_root;
};
