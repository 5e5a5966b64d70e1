#pragma once
#include <optional>
#include <string>
#include <vector>

// The one switch Pellux understands: "-source <path>", as Tavolin passes it. `arguments`
// are the program's arguments after its name. The path comes back unchanged when there
// are exactly two arguments and the first is "-source" in any letter case; any other
// command line is ignored.
std::optional<std::string> SourceFromArguments(const std::vector<std::string>& arguments);
