// Both programs' windows on a scaled screen: CTest runs this program at the scales 1, 1.25, 1.5
// and 2 (QT_SCALE_FACTOR). At every scale the skinned backgrounds run on without seams
// where the hover buttons and labels sit, and every icon shows its own image for the
// scale, pixel for pixel, never a resampled one.
#include <cmath>
#include <filesystem>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "converter/CConverterDlg.h"
#include "downloader/CAddTaskDlg.h"
#include "downloader/CDragDlg.h"
#include "downloader/CMainDlg.h"
#include "skin/ButtonLook.h"
#include "skin/CHoverButton.h"
#include "skin/CTransStatic.h"
#include "support/Files.h"

namespace {

QString g_home;

int Device(qreal logical, qreal scale)
{
    return static_cast<int>(std::lround(logical * scale));
}

// The image an icon file holds for `size` pixels at `scale`.
QImage IconImage(const QString& file, int size, qreal scale)
{
    const int side = Device(size, scale);
    QImageReader reader(file);
    for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (image.width() == side)
            return image.convertToFormat(QImage::Format_ARGB32);
    }
    return {};
}

// Whether the shot shows `icon` with its top-left corner at `origin`, give or take a
// device pixel: every opaque pixel of the icon's own image appears unchanged.
bool ShowsIcon(const QImage& shot, QPoint origin, const QImage& icon)
{
    if (icon.isNull())
        return false;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int wrong = 0;
            int opaque = 0;
            for (int y = 0; y < icon.height(); ++y) {
                for (int x = 0; x < icon.width(); ++x) {
                    const QColor want = icon.pixelColor(x, y);
                    if (want.alpha() != 255)
                        continue;
                    ++opaque;
                    const QColor got = shot.pixelColor(origin.x() + dx + x, origin.y() + dy + y);
                    if (std::abs(got.red() - want.red()) > 2 || std::abs(got.green() - want.green()) > 2 ||
                        std::abs(got.blue() - want.blue()) > 2)
                        ++wrong;
                }
            }
            if (opaque > 0 && wrong == 0)
                return true;
        }
    }
    return false;
}

// A seam is a line of pixels that breaks the background: in a row of a top-to-bottom
// gradient every pixel has the colour of the first.
QString RowBreak(const QImage& shot, int y, int fromX, int toX)
{
    const QRgb first = shot.pixel(fromX, y);
    for (int x = fromX; x <= toX; ++x)
        if (shot.pixel(x, y) != first)
            return QStringLiteral("row %1: x %2 is %3, x %4 is %5")
                .arg(y)
                .arg(fromX)
                .arg(first, 0, 16)
                .arg(x)
                .arg(shot.pixel(x, y), 0, 16);
    return {};
}

// Down a column of a top-to-bottom gradient each channel only moves from `top` toward
// `bottom`, never back and never beyond.
QString ColumnBreak(const QImage& shot, int x, int fromY, int toY, QColor top, QColor bottom)
{
    QColor previous = top;
    for (int y = fromY; y <= toY; ++y) {
        const QColor c = shot.pixelColor(x, y);
        const int channels[3][3] = {{top.red(), bottom.red(), c.red()},
                                    {top.green(), bottom.green(), c.green()},
                                    {top.blue(), bottom.blue(), c.blue()}};
        const int before[3] = {previous.red(), previous.green(), previous.blue()};
        for (int i = 0; i < 3; ++i) {
            const auto [from, to, now] = channels[i];
            const bool falling = to <= from;
            const bool inRange = falling ? (now <= from && now >= to) : (now >= from && now <= to);
            const bool onward = falling ? now <= before[i] : now >= before[i];
            if (!inRange || !onward)
                return QStringLiteral("column %1: y %2 is %3").arg(x).arg(y).arg(c.name());
        }
        previous = c;
    }
    return {};
}

}  // namespace

class ScaledPaintingTest : public QObject {
    Q_OBJECT

    const std::string m_resources = ProgramPaths::ResourceFolderOf(TAVOLIN_BIN_DIR);
    qreal m_scale = 1;

    QString Resource(const char* name) const
    {
        return QString::fromStdString(m_resources) + u'/' + QLatin1String(name);
    }

    // Shows the window and takes its picture at device resolution.
    QImage Shot(QWidget& window) const
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return {};
        const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        return shot.size() == QSize(Device(window.width(), m_scale), Device(window.height(), m_scale))
                   ? shot
                   : QImage();
    }

private slots:
    void initTestCase()
    {
        m_scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                      ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                      : 1.0;
        QWidget probe;
        probe.show();
        QVERIFY(QTest::qWaitForWindowExposed(&probe));
        QCOMPARE(probe.devicePixelRatioF(), m_scale);
    }

    void mainWindow()
    {
        QTemporaryDir data;
        WriteText(data.path().toStdString() + "/tasks.ini", "[TASKSINFO]\r\nTASKS_NUMBER=0\r\n");
        CMainDlg::Options options;
        options.dataFolder = data.path().toStdString();
        options.paths = ProgramPaths(TAVOLIN_BIN_DIR, m_resources);
        options.trayAvailable = false;
        options.dropWindow = false;
        CMainDlg window(std::move(options));
        const QImage shot = Shot(window);
        QVERIFY(!shot.isNull());

        // The header band through the title buttons and Help: their captured backgrounds
        // meet the window's without a seam.
        const int right = Device(window.width() - 20, m_scale);
        for (const char* name : {"close", "help"}) {
            const QRect button = window.findChild<QWidget*>(QLatin1String(name))->geometry();
            const QString seam =
                RowBreak(shot, Device(button.top() + 1, m_scale), Device(45, m_scale), right);
            QVERIFY2(seam.isEmpty(), qPrintable(QLatin1String(name) + QStringLiteral(": ") + seam));
        }

        // The application icon and a toolbar icon, each from its own image for the scale.
        QVERIFY(ShowsIcon(shot, QPoint(Device(5, m_scale), Device(7, m_scale)),
                          IconImage(Resource("tavolin.ico"), 32, m_scale)));
        const QRect add = window.findChild<QWidget*>(QStringLiteral("add"))->geometry();
        const skin::IconPlacement place = skin::PlaceIcon(add.width(), add.height(), 37);
        QVERIFY(ShowsIcon(shot,
                          QPoint(Device(add.x(), m_scale) + Device(place.nIconX, m_scale),
                                 Device(add.y(), m_scale) + Device(place.nIconY, m_scale)),
                          IconImage(Resource("icons/doc01.ico"), 37, m_scale)));
        window.ExitApp();
    }

    void addTaskDialog()
    {
        QTemporaryDir folder;
        CAddTaskDlg dialog(folder.path().toStdString() + "/settings.ini", QString());
        const QImage shot = Shot(dialog);
        QVERIFY(!shot.isNull());
        // Between the example line and the folder row nothing but the background.
        QWidget* example = dialog.findChild<QWidget*>(QStringLiteral("example"));
        QWidget* browse = dialog.findChild<QWidget*>(QStringLiteral("browse"));
        const int y = Device((example->geometry().bottom() + browse->geometry().top()) / 2.0, m_scale);
        QString seam = RowBreak(shot, y, 0, shot.width() - 1);
        QVERIFY2(seam.isEmpty(), qPrintable(seam));
        seam = ColumnBreak(shot, Device(3, m_scale), 0, shot.height() - 1, QColor(255, 255, 255),
                           QColor(225, 223, 218));
        QVERIFY2(seam.isEmpty(), qPrintable(seam));
    }

    void dropWindow()
    {
        CDragDlg drop{QIcon(Resource("tavolin.ico")), WindowControl::Full};
        drop.ShowAtTopRight();
        const QImage shot = Shot(drop);
        QVERIFY(!shot.isNull());
        QVERIFY(ShowsIcon(shot, QPoint(Device(8, m_scale), Device(8, m_scale)),
                          IconImage(Resource("tavolin.ico"), 32, m_scale)));
        // The upper third, inside the two frames.
        const QString seam =
            ColumnBreak(shot, Device(4, m_scale), Device(2, m_scale), Device(15, m_scale) - 1,
                        QColor(255, 255, 255), QColor(226, 224, 220));
        QVERIFY2(seam.isEmpty(), qPrintable(seam));
    }

    void converterWindow()
    {
        QVERIFY(QDir(g_home).mkpath(QStringLiteral("data/Tavolin Data")));
        CConverterDlg window(ConverterOptions{});
        QVERIFY(window.Initialise({}));
        const QImage shot = Shot(window);
        QVERIFY(!shot.isNull());
        const QRect source = window.findChild<QLineEdit*>(QStringLiteral("source"))->geometry();
        const QRect destination = window.findChild<QLineEdit*>(QStringLiteral("destination"))->geometry();
        const QRect load = window.findChild<QPushButton*>(QStringLiteral("load"))->geometry();
        const qreal between = (std::max(source.bottom(), load.bottom()) + destination.top()) / 2.0;
        QString seam = RowBreak(shot, Device(between, m_scale), 0, shot.width() - 1);
        QVERIFY2(seam.isEmpty(), qPrintable(seam));
        seam = ColumnBreak(shot, Device(3, m_scale), 0, shot.height() - 1, QColor(255, 255, 255),
                           QColor(225, 223, 218));
        QVERIFY2(seam.isEmpty(), qPrintable(seam));
        QCOMPARE(window.windowIcon().pixmap(QSize(32, 32), m_scale).size(),
                 QSize(Device(32, m_scale), Device(32, m_scale)));
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    g_home = home.path();
    qputenv("HOME", QFile::encodeName(g_home));
    qputenv("XDG_DATA_HOME", QFile::encodeName(g_home + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(g_home));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(g_home));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScaledPaintingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ScaledPaintingTest.moc"
