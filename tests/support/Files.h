#pragma once
// Whole files in and out, byte for byte, and the fixtures under tests/data.
#include <filesystem>
#include <string>
#include <string_view>

// Empty when the file cannot be read.
std::string ReadText(const std::filesystem::path& path);
// Creates or replaces the file.
void WriteText(const std::filesystem::path& path, std::string_view text);
// The path of tests/data/<name>.
std::string TestData(const std::string& name);
