#pragma once
#include <string>

namespace platform {

// The folder that holds the running executable, without a trailing '/', whatever the
// current directory is. "." when the system cannot tell.
std::string ProgramFolder();

}  // namespace platform
