#pragma once
#include <string>

#include <QString>

// File names cross between the engine's bytes and Qt's texts through the system's
// file-name encoding, so a name that is not valid UTF-8 still names the same file.
QString FromFileName(const std::string& path);
std::string ToFileName(const QString& path);
