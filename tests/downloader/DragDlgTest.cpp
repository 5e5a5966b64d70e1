#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/CDragDlg.h"

namespace {

// Hands the window one drag event of type Event, as the drag manager does once the drag is
// over it; answers whether the window took it, as a copy.
template <typename Event>
bool Drag(QWidget& target, const QMimeData& data)
{
    Event event(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject&>(target).event(&event);
    return event.isAccepted() && event.dropAction() == Qt::CopyAction;
}

}  // namespace

class DragDlgTest : public QObject {
    Q_OBJECT

private slots:
    void dropOffersTheWholeTextUnchecked()
    {
        CDragDlg dlg{QIcon(), WindowControl::Full};
        QSignalSpy dropped(&dlg, &CDragDlg::urlDropped);
        QMimeData binary;
        binary.setData(QStringLiteral("application/octet-stream"), "x");
        QVERIFY(!Drag<QDragEnterEvent>(dlg, binary) && !Drag<QDragMoveEvent>(dlg, binary));
        QVERIFY(!Drag<QDropEvent>(dlg, binary));
        QMimeData text;
        text.setText(QStringLiteral(" no address here\nsecond line\r\n"));
        QVERIFY(Drag<QDragEnterEvent>(dlg, text) && Drag<QDragMoveEvent>(dlg, text) &&
                Drag<QDropEvent>(dlg, text));
        text.setText(WatchUrl("next"));
        QVERIFY(Drag<QDropEvent>(dlg, text));
        QCOMPARE(dropped.size(), 2);
        QCOMPARE(dropped.at(0).at(0).toString(), QStringLiteral(" no address here\nsecond line\r\n"));
        QCOMPARE(dlg.PendingUrl(), WatchUrl("next"));  // the later drop overwrites the first
    }

    void clipboardOffersOnlyAnAddressOnTheFirstLine()
    {
        CDragDlg dlg{QIcon(), WindowControl::Full};
        QSignalSpy offered(&dlg, &CDragDlg::urlDropped);
        // A blank in front, the address on the second line; then a first line ended by a
        // CR alone, and one with a blank at its end, which stays; a page that is no video,
        // a video file's address.
        for (const QString& copied :
             {QStringLiteral(" ") + WatchUrl("A"), QStringLiteral("\n") + WatchUrl("B"),
              WatchUrl("C") + QStringLiteral("\rmore\n"), WatchUrl("D ") + QStringLiteral("\r\nx"),
              QStringLiteral("https://cdn.example/v.html"),
              QStringLiteral("https://cdn.example/v.mp4?s=1\nx")}) {
            QGuiApplication::clipboard()->setText(copied);
            QCoreApplication::processEvents();
        }
        QCOMPARE(offered.size(), 3);
        QCOMPARE(offered.at(0).at(0).toString(), WatchUrl("C"));
        QCOMPARE(offered.at(1).at(0).toString(), WatchUrl("D "));
        QCOMPARE(dlg.PendingUrl(), QStringLiteral("https://cdn.example/v.mp4?s=1"));
    }

    void roundedSquareAtTheTopRightThatAsksForMenuAndToggle()
    {
        QPixmap red(32, 32);
        red.fill(QColor(200, 0, 0));
        CDragDlg dlg{QIcon(red), WindowControl::Full};
        dlg.ShowAtTopRight();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(
            dlg.windowFlags() & (Qt::WindowType_Mask | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
            Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(dlg.geometry(), QRect(area.x() + area.width() - 100, area.y() + 10, 50, 50));
        QVERIFY(dlg.mask().contains(QPoint(25, 0)) && !dlg.mask().contains(QPoint(0, 0)));
        QVERIFY(!dlg.mask().contains(QPoint(49, 49)));

        QImage image(dlg.size(), QImage::Format_ARGB32);
        image.fill(Qt::black);
        dlg.render(&image);
        QCOMPARE(image.pixelColor(25, 0), QColor(171, 166, 151));   // outer frame
        QCOMPARE(image.pixelColor(48, 25), QColor(171, 166, 151));  // the frames end one short of the edge
        // The 32 x 32 icon at ((49 - 32) / 2, (49 - 32) / 2).
        QCOMPARE(image.pixelColor(8, 8), QColor(200, 0, 0));
        QCOMPARE(image.pixelColor(39, 39), QColor(200, 0, 0));

        QSignalSpy menu(&dlg, &CDragDlg::trayMenuRequested);
        QSignalSpy toggle(&dlg, &CDragDlg::toggleMainWindow);
        QTest::mouseClick(&dlg, Qt::RightButton, Qt::NoModifier, QPoint(10, 12));
        QCOMPARE(menu.size(), 1);
        QCOMPARE(menu.at(0).at(0).toPoint(), dlg.mapToGlobal(QPoint(10, 12)));
        QTest::mouseDClick(&dlg, Qt::LeftButton, Qt::NoModifier, QPoint(25, 25));
        QCOMPARE(toggle.size(), 1);
        QCOMPARE(menu.size(), 1);

        // Through XWayland the square keeps clear of the compositor's window manager.
        QVERIFY(CDragDlg(QIcon(), WindowControl::Unmanaged).windowFlags() & Qt::X11BypassWindowManagerHint);
    }

    void onNativeWaylandAnOrdinaryWindowThatReadsTheClipboardOnFocus()
    {
        auto* clipboard = QGuiApplication::clipboard();
        clipboard->setText(WatchUrl("before"));  // not offered: copied before the start
        CDragDlg dlg{QIcon(), WindowControl::None};
        QSignalSpy offered(&dlg, &CDragDlg::urlDropped);
        QCOMPARE(
            dlg.windowFlags() & (Qt::WindowType_Mask | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
            Qt::Window);
        // Copied while another program had the focus: heard of only when ours comes back,
        // and once, however often the clipboard is told again.
        clipboard->blockSignals(true);
        clipboard->setText(WatchUrl("away") + QStringLiteral("\nnotes"));
        clipboard->blockSignals(false);
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(offered.size(), 1);
        clipboard->setText(WatchUrl("away") + QStringLiteral("\nnotes"));
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(offered.size(), 1);
        QCOMPARE(dlg.PendingUrl(), WatchUrl("away"));
    }
};

static RegisterTest registerDragDlgTest([] { return new DragDlgTest; });

#include "DragDlgTest.moc"
