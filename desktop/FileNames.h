#pragma once
#include <string>

#include <QString>

// File names cross between the engine's bytes and Qt's texts without loss, so a name that
// is not valid UTF-8 still names the same file after a trip through a text box or a
// program's arguments. Valid UTF-8 reads as the text it spells; each byte that is not part
// of valid UTF-8 becomes one unpaired surrogate (U+DC80 to U+DCFF) and turns back into the
// same byte. Qt's own file-name conversion would replace such bytes for good.
QString FromFileName(const std::string& path);
std::string ToFileName(const QString& path);
