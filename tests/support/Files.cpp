#include "support/Files.h"

#include <fstream>
#include <sstream>

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    // A stream insertion turns a failed read (a folder, say) into a failed state, never a throw.
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::filesystem::path& path, std::string_view text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string TestData(const std::string& name)
{
    return TAVOLIN_TESTS_DIR "/data/" + name;
}
