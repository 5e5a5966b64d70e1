#include "platform/FileSystem.h"

#include <filesystem>
#include <system_error>

namespace platform {

bool AnythingAt(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    return !error && status.type() != std::filesystem::file_type::not_found;
}

}  // namespace platform
