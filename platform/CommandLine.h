#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a command line: blanks, tabs, CR and LF separate arguments outside double
// quotes; a quoted stretch is copied whole and joins the argument around it; quotes
// are never copied; backslashes are ordinary characters; "" alone is one empty argument.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace platform
