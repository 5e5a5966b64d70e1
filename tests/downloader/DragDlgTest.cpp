#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/CDragDlg.h"
#include "fetch/ServiceConfig.h"
#include "fetch/WatchUrl.h"

namespace {

QString WatchUrl(const QString& id)
{
    return QString::fromStdString(WatchUrlPrefix(ServiceConfig::Current().m_csServiceHost)) + id;
}

QIcon RedIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(200, 0, 0));
    return QIcon(pixmap);
}

// Hands one synthetic drag event of the given type to the window, as the drag manager does
// once it has routed the drag there; answers whether the window took it.
bool SendDrag(QWidget& target, QEvent::Type type, const QMimeData* data)
{
    const QPointF at(20, 20);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    if (type == QEvent::DragEnter) {
        QDragEnterEvent event(at.toPoint(), actions, data, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject&>(target).event(&event);
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    }
    if (type == QEvent::DragMove) {
        QDragMoveEvent event(at.toPoint(), actions, data, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject&>(target).event(&event);
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    }
    QDropEvent event(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject&>(target).event(&event);
    return event.isAccepted();
}

}  // namespace

class DragDlgTest : public QObject {
    Q_OBJECT

private slots:
    void firstLineEndsAtTheFirstLineBreak_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("no break") << QByteArray("abc def ") << QByteArray("abc def ");
        QTest::newRow("lf") << QByteArray("abc\ndef") << QByteArray("abc");
        QTest::newRow("crlf") << QByteArray("abc\r\ndef") << QByteArray("abc");
        QTest::newRow("cr only") << QByteArray("abc\rdef\nghi") << QByteArray("abc");
        QTest::newRow("leading break") << QByteArray("\nabc") << QByteArray("");
        QTest::newRow("blanks kept") << QByteArray(" abc \t\n") << QByteArray(" abc \t");
        QTest::newRow("empty") << QByteArray("") << QByteArray("");
    }
    void firstLineEndsAtTheFirstLineBreak()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, line);
        QCOMPARE(QByteArray::fromStdString(CDragDlg::FirstLine(text.toStdString())), line);
    }

    void dropOffersTheWholeTextUnchecked()
    {
        CDragDlg dlg{QIcon()};
        QSignalSpy dropped(&dlg, &CDragDlg::urlDropped);
        QVERIFY(dlg.acceptDrops());

        QMimeData empty;
        empty.setData(QStringLiteral("application/octet-stream"), QByteArray("x"));
        QVERIFY(!SendDrag(dlg, QEvent::DragEnter, &empty));
        QVERIFY(!SendDrag(dlg, QEvent::DragMove, &empty));
        QVERIFY(!SendDrag(dlg, QEvent::Drop, &empty));
        QCOMPARE(dropped.count(), 0);
        QVERIFY(dlg.PendingUrl().isEmpty());

        QMimeData text;
        const QString several = QStringLiteral(" no address here\nsecond line\r\n");
        text.setText(several);
        QVERIFY(SendDrag(dlg, QEvent::DragEnter, &text));
        QVERIFY(SendDrag(dlg, QEvent::DragMove, &text));
        QVERIFY(SendDrag(dlg, QEvent::Drop, &text));
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.at(0).at(0).toString(), several);
        QCOMPARE(dlg.PendingUrl(), several);

        // A later drop overwrites the pending address.
        text.setText(WatchUrl("next"));
        QVERIFY(SendDrag(dlg, QEvent::Drop, &text));
        QCOMPARE(dlg.PendingUrl(), WatchUrl("next"));
        QCOMPARE(dropped.count(), 2);
    }

    void clipboardOffersOnlyAWatchPageFirstLine_data()
    {
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("offered");  // empty: nothing offered
        QTest::newRow("address") << WatchUrl("Ab1") << WatchUrl("Ab1");
        QTest::newRow("first line only") << WatchUrl("Ab1") + "\r\nmore text" << WatchUrl("Ab1");
        QTest::newRow("trailing blank kept") << WatchUrl("Ab1 ") + "\nx" << WatchUrl("Ab1 ");
        QTest::newRow("leading blank") << " " + WatchUrl("Ab1") << "";
        QTest::newRow("second line") << "hello\n" + WatchUrl("Ab1") << "";
        QTest::newRow("plain text") << "just words" << "";
        QTest::newRow("prefix only") << WatchUrl("") + "\nAb1" << "";
    }
    void clipboardOffersOnlyAWatchPageFirstLine()
    {
        QFETCH(QString, copied);
        QFETCH(QString, offered);
        CDragDlg dlg{QIcon()};
        QSignalSpy dropped(&dlg, &CDragDlg::urlDropped);
        QGuiApplication::clipboard()->setText(copied);
        QCoreApplication::processEvents();
        if (offered.isEmpty()) {
            QCOMPARE(dropped.count(), 0);
            QVERIFY(dlg.PendingUrl().isEmpty());
        } else {
            QCOMPARE(dropped.count(), 1);
            QCOMPARE(dropped.at(0).at(0).toString(), offered);
            QCOMPARE(dlg.PendingUrl(), offered);
        }
    }

    void clipboardWithoutTextOffersNothing()
    {
        CDragDlg dlg{QIcon()};
        QSignalSpy dropped(&dlg, &CDragDlg::urlDropped);
        auto* image = new QMimeData;
        image->setImageData(QImage(4, 4, QImage::Format_ARGB32));
        QGuiApplication::clipboard()->setMimeData(image);
        QCoreApplication::processEvents();
        QCOMPARE(dropped.count(), 0);
    }

    void returnAndEscapeNeverCloseIt()
    {
        CDragDlg dlg{RedIcon()};
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(&dlg, key);
        QVERIFY(dlg.isVisible());
    }

    void mouseAsksForMenuAndToggle()
    {
        CDragDlg dlg{RedIcon()};
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QSignalSpy menu(&dlg, &CDragDlg::trayMenuRequested);
        QSignalSpy toggle(&dlg, &CDragDlg::toggleMainWindow);
        QTest::mouseClick(&dlg, Qt::RightButton, Qt::NoModifier, QPoint(10, 12));
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu.at(0).at(0).toPoint(), dlg.mapToGlobal(QPoint(10, 12)));
        QCOMPARE(toggle.count(), 0);
        QTest::mouseDClick(&dlg, Qt::LeftButton, Qt::NoModifier, QPoint(25, 25));
        QCOMPARE(toggle.count(), 1);
        QCOMPARE(menu.count(), 1);
        QVERIFY(dlg.isVisible());
    }

    void squareSitsTopRightAndIsRounded()
    {
        CDragDlg dlg{RedIcon()};
        dlg.ShowAtTopRight();
        const Qt::WindowFlags flags = dlg.windowFlags();
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(dlg.windowType(), Qt::Tool);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(dlg.geometry(), QRect(area.x() + area.width() - 100, area.y() + 10, 50, 50));
        const QRegion mask = dlg.mask();
        QVERIFY(mask.contains(QPoint(25, 25)));
        QVERIFY(mask.contains(QPoint(25, 0)));
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(49, 49)));
    }

    void paintsGradientsFramesAndCentredIcon()
    {
        CDragDlg dlg{RedIcon()};
        dlg.resize(50, 50);
        QImage image(dlg.size(), QImage::Format_ARGB32);
        image.fill(Qt::black);
        dlg.render(&image);
        // R is 0..49 exclusive; the upper third ends at row 49 / 3 = 16.
        QCOMPARE(image.pixelColor(25, 0), QColor(171, 166, 151));   // outer frame
        QCOMPARE(image.pixelColor(25, 1), QColor(255, 255, 255));   // inner frame
        QCOMPARE(image.pixelColor(0, 25), QColor(171, 166, 151));
        QCOMPARE(image.pixelColor(48, 25), QColor(171, 166, 151));  // the frames end one short of Rt
        QCOMPARE(image.pixelColor(47, 25), QColor(255, 255, 255));
        QCOMPARE(image.pixelColor(25, 48), QColor(171, 166, 151));
        QCOMPARE(image.pixelColor(44, 3), QColor(250, 250, 249));   // upper step 3 of 16
        QCOMPARE(image.pixelColor(44, 15), QColor(228, 226, 223));  // upper step 15 of 16
        QCOMPARE(image.pixelColor(44, 16), QColor(218, 218, 218));  // lower step 0 of 33
        QCOMPARE(image.pixelColor(44, 20), QColor(219, 219, 219));  // lower step 4 of 33
        // The icon: 32 x 32 from ((49 - 32) / 2, (49 - 32) / 2) = (8, 8).
        const QColor red(200, 0, 0);
        QCOMPARE(image.pixelColor(8, 8), red);
        QCOMPARE(image.pixelColor(39, 39), red);
        QVERIFY(image.pixelColor(7, 20) != red);
        QVERIFY(image.pixelColor(40, 20) != red);
        QVERIFY(image.pixelColor(20, 7) != red);
    }
};

static RegisterDialogTest registerDragDlgTest([] { return new DragDlgTest; });

#include "DragDlgTest.moc"
