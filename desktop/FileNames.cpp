#include "desktop/FileNames.h"

#include <QFile>

QString FromFileName(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string ToFileName(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
