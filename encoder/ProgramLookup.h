#pragma once
// Finds a program the way a shell would, without a shell.

#include <optional>
#include <string>
#include <string_view>

// The first executable regular file named `name` in the ':'-separated folders of
// `searchPath` (an empty entry is the current folder). A name holding '/' is taken
// as a path of its own.
std::optional<std::string> FindProgram(std::string_view name, std::string_view searchPath);

// The search path of this process; a sane default when PATH is not set.
std::string ProgramSearchPath();
