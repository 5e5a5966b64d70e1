// Both programs' windows on a scaled screen: CTest runs this program at the scales 1, 1.25,
// 1.5 and 2 (QT_SCALE_FACTOR). The skin runs on without seams across the hover buttons and
// labels, and every icon shows its own image for the scale, never a resampled one.
#include <cmath>

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include "converter/CConverterDlg.h"
#include "downloader/CAddTaskDlg.h"
#include "downloader/CDragDlg.h"
#include "downloader/CMainDlg.h"
#include "skin/ButtonLook.h"
#include "support/Files.h"

namespace {

qreal g_scale = 1;

int Device(qreal logical)
{
    return static_cast<int>(std::lround(logical * g_scale));
}

QImage Shot(QWidget& window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window) ? window.grab().toImage() : QImage();
}

// Every opaque pixel of the file's image for `size` at the scale, give or take a device
// pixel, at `origin`.
bool ShowsIcon(const QImage& shot, QPoint origin, const std::string& file, int size)
{
    QImageReader reader(QString::fromStdString(file));
    QImage icon;
    for (int i = 0; i < reader.imageCount() && icon.width() != Device(size); ++i)
        icon = (reader.jumpToImage(i), reader.read());
    for (int d = 0; d < 9 && icon.width() == Device(size); ++d) {
        int wrong = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x) {
                const QRgb want = icon.pixel(x, y);
                const QRgb got = shot.pixel(origin + QPoint(d % 3 - 1 + x, d / 3 - 1 + y));
                wrong += qAlpha(want) == 255 &&
                         (std::abs(qRed(got) - qRed(want)) > 2 || std::abs(qGreen(got) - qGreen(want)) > 2 ||
                          std::abs(qBlue(got) - qBlue(want)) > 2);
            }
        if (wrong == 0)
            return true;
    }
    return false;
}

// Across a top-to-bottom gradient, a pixel of another colour in the row is a seam.
bool RowIsWhole(const QImage& shot, qreal y, qreal fromX, qreal toX)
{
    for (int x = Device(fromX); x <= Device(toX); ++x)
        if (shot.pixel(x, Device(y)) != shot.pixel(Device(fromX), Device(y)))
            return false;
    return true;
}

// Half way between the bottom of one control and the top of the next.
qreal Between(const QWidget& window, const char* above, const char* below)
{
    return (window.findChild<QWidget*>(QLatin1String(above))->geometry().bottom() +
            window.findChild<QWidget*>(QLatin1String(below))->geometry().top()) /
           2.0;
}

}  // namespace

class ScaledPaintingTest : public QObject {
    Q_OBJECT

private slots:
    void windowsAtTheScale()
    {
        const std::string resources = ProgramPaths::ResourceFolderOf(TAVOLIN_BIN_DIR);
        QTemporaryDir data;
        WriteText(data.path().toStdString() + "/tasks.ini", "[TASKSINFO]\r\nTASKS_NUMBER=0\r\n");
        CMainDlg window({.dataFolder = data.path().toStdString(),
                         .paths = ProgramPaths(TAVOLIN_BIN_DIR, resources),
                         .trayAvailable = false,
                         .dropWindow = false});
        QImage shot = Shot(window);
        QCOMPARE(shot.devicePixelRatio(), g_scale);
        // The title buttons and Help carry the header band on under them.
        for (const char* button : {"close", "help"})
            QVERIFY2(RowIsWhole(shot, window.findChild<QWidget*>(QLatin1String(button))->y() + 1, 45,
                                window.width() - 20),
                     button);
        QVERIFY(ShowsIcon(shot, QPoint(Device(5), Device(7)), resources + "/tavolin.ico", 32));
        const QRect add = window.findChild<QWidget*>(QStringLiteral("add"))->geometry();
        const skin::IconPlacement place = skin::PlaceIcon(add.width(), add.height(), 37);
        QVERIFY(ShowsIcon(
            shot, QPoint(Device(add.x()) + Device(place.nIconX), Device(add.y()) + Device(place.nIconY)),
            resources + "/icons/doc01.ico", 37));
        window.ExitApp();

        CDragDlg drop{QIcon(QString::fromStdString(resources + "/tavolin.ico")), WindowControl::Full};
        QVERIFY(ShowsIcon(Shot(drop), QPoint(Device(8), Device(8)), resources + "/tavolin.ico", 32));

        CAddTaskDlg addTask(data.path().toStdString() + "/settings.ini", QString());
        QVERIFY(RowIsWhole(Shot(addTask), Between(addTask, "example", "browse"), 0, addTask.width() - 1));

        QVERIFY(QDir(qEnvironmentVariable("XDG_DATA_HOME")).mkpath(QStringLiteral("Tavolin Data")));
        CConverterDlg pellux(ConverterOptions{});
        QVERIFY(pellux.Initialise({}));
        QVERIFY(RowIsWhole(Shot(pellux), Between(pellux, "load", "destination"), 0, pellux.width() - 1));
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir home;
    for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
        qputenv(variable, QFile::encodeName(home.path()));
    g_scale =
        qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1;
    QApplication app(argc, argv);
    ScaledPaintingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ScaledPaintingTest.moc"
