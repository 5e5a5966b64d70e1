#pragma once
#include <functional>
#include <string>

// The source's file name without its folder and its extension, letter case kept.
std::string TargetBaseName(const std::string& source);

// The first free output path in `folder` (which ends with '/'): "<base><extension>",
// else "<base>-0<extension>", "<base>-1<extension>" and so on. A name counts as taken
// when anything exists there.
std::string ChooseTargetPath(const std::string& folder, const std::string& source,
                             const std::string& extension,
                             const std::function<bool(const std::string&)>& exists);
