#include "support/TempFolder.h"

#include <stdlib.h>
#include <stdexcept>
#include <system_error>

TempFolder::TempFolder(const std::filesystem::path& under)
{
    std::string pattern = (under / "tavolin-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_root = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}
