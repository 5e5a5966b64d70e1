#include "downloader/MainWindowRules.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include "desktop/FileNames.h"

std::vector<std::int32_t> AscendingRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<std::int32_t> result;
    for (const int row : rows)
        if (row >= 0)
            result.push_back(row);
    return result;
}

QStringList ConverterArguments(const std::optional<std::string>& firstSelectedFile)
{
    if (!firstSelectedFile)
        return {};
    return {QStringLiteral("-source"), FromFileName(*firstSelectedFile)};
}

CloseAction ActionForClose(bool trayAvailable)
{
    return trayAvailable ? CloseAction::Hide : CloseAction::Minimise;
}

ToggleAction ActionForToggle(bool visible, bool minimised)
{
    return visible && !minimised ? ToggleAction::Hide : ToggleAction::Restore;
}

const std::array<ToolbarIcon, 6>& ToolbarIcons()
{
    static const std::array<ToolbarIcon, 6> icons{{
        {"Converter", "music01.ico", 37, 40},
        {"Add", "doc01.ico", 37, 40},
        {"Start", "downarr.ico", 37, 40},
        {"Exit", "home01.ico", 37, 40},
        {"Remove", "delete.ico", 34, 37},
        {"Stop", "stopicon.ico", 34, 37},
    }};
    return icons;
}

QIcon LoadToolbarIcon(const QString& path, int size)
{
    // Prefer the exact size, else the smallest image larger than it, else the largest.
    const auto preferable = [size](int candidate, int current) {
        if (current == 0)
            return true;
        const bool candidateLarger = candidate >= size;
        if (candidateLarger != (current >= size))
            return candidateLarger;
        return candidateLarger ? candidate < current : candidate > current;
    };
    std::vector<int> wanted;
    for (const qreal scale : kIconScales)
        wanted.push_back(qRound(size * scale));

    QIcon icon;
    QImageReader reader(path);
    QImage best;
    int bestSide = 0;
    const int count = std::max(1, reader.imageCount());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (image.isNull())
            break;
        const int side = std::max(image.width(), image.height());
        if (std::find(wanted.begin(), wanted.end(), side) != wanted.end())
            icon.addPixmap(QPixmap::fromImage(image));
        if (preferable(side, bestSide)) {
            best = image;
            bestSide = side;
        }
    }
    if (best.isNull())
        return {};
    if (bestSide != size)
        icon.addPixmap(
            QPixmap::fromImage(best.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return icon;
}

QString InstanceServerName(const QString& marker, unsigned uid, const QString& dataFolder,
                           const QString& runtimeFolder, const QString& tempFolder)
{
    const QString folder = runtimeFolder.isEmpty() ? tempFolder : runtimeFolder;
    // A digest, not the folder itself: a socket's path is short.
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(dataFolder), QCryptographicHash::Sha1).toHex().left(12);
    return folder + QLatin1Char('/') + marker + QLatin1Char('-') + QString::number(uid) + QLatin1Char('-') +
           QLatin1String(digest);
}

QString DataFolderMissingText(const QString& path)
{
    return QStringLiteral(
               "Can not find the application data directory \"%1\" for Tavolin, "
               "Please reinstall this program.")
        .arg(path);
}

QString DataFolderUnknownText()
{
    return QStringLiteral("Can not load the application data directory");
}
