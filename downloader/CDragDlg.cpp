#include "downloader/CDragDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QWindow>

#include "fetch/ServiceConfig.h"
#include "fetch/VideoAddress.h"
#include "skin/GradientFill.h"

namespace {

constexpr int kIconSize = 32;
constexpr qreal kCornerRadius = 2.5;  // a 5 x 5 corner ellipse

const QColor kUpperTop(255, 255, 255);
const QColor kUpperBottom(226, 224, 220);
const QColor kLowerTop(218, 218, 218);
const QColor kLowerBottom(233, 233, 233);
const QColor kInnerFrame(255, 255, 255);
const QColor kOuterFrame(171, 166, 151);

// Text is all the window takes, and it takes it as a copy.
bool AcceptText(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data == nullptr || !data->hasText()) {
        event->ignore();
        return false;
    }
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

Qt::WindowFlags FrameFor(WindowControl control)
{
    switch (control) {
    case WindowControl::Full:
        break;
    case WindowControl::Unmanaged:
        return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint;
    case WindowControl::None:
        return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    }
    return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
}

}  // namespace

CDragDlg::CDragDlg(const QIcon& icon, WindowControl control, QWidget* parent)
    : QWidget(parent, FrameFor(control)), m_icon(icon), m_control(control)
{
    setAcceptDrops(true);
    setFocusPolicy(Qt::ClickFocus);
    setGeometry(TopRightGeometry());
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CDragDlg::ReadClipboard);
    if (m_control == WindowControl::None) {
        setWindowTitle(QStringLiteral("Tavolin"));
        setFixedSize(kSize, kSize);  // nothing to maximise
        // What was copied before the start is not offered, as with the watcher.
        if (const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard))
            m_lastClipboard = data->text();
        connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                ReadClipboard();
        });
    }
}

std::string CDragDlg::FirstLine(std::string_view text)
{
    return std::string(text.substr(0, text.find_first_of("\r\n")));
}

QRect CDragDlg::TopRightGeometry() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return QRect(0, 10, kSize, kSize);
    // The usable area, so that a panel along the top edge never covers the square.
    const QRect area = screen->availableGeometry();
    return QRect(area.x() + area.width() - 100, area.y() + 10, kSize, kSize);
}

void CDragDlg::ShowAtTopRight()
{
    setGeometry(TopRightGeometry());
    show();
}

void CDragDlg::paintEvent(QPaintEvent*)
{
    if (m_icon.isNull())
        return;
    QPainter painter(this);
    // The right and bottom edges are exclusive, one pixel in from the client's.
    const int left = 0;
    const int top = 0;
    const int right = width() - 1;
    const int bottom = height() - 1;
    const int split = top + (bottom - top) / 3;
    skin::FillGradient(painter, QRect(left, top, right - left, split - top), kUpperTop, kUpperBottom,
                       skin::GradientBands::Thin);
    skin::FillGradient(painter, QRect(left, split, right - left, bottom - split), kLowerTop, kLowerBottom,
                       skin::GradientBands::Thin);

    // A one-pixel aliased outline of QRect(x, y, w, h) covers columns x..x+w.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kInnerFrame, 1));
    painter.drawRoundedRect(QRect(left + 1, top + 1, right - left - 3, bottom - top - 3), kCornerRadius,
                            kCornerRadius);
    painter.setPen(QPen(kOuterFrame, 1));
    painter.drawRoundedRect(QRect(left, top, right - left - 1, bottom - top - 1), kCornerRadius,
                            kCornerRadius);

    const QRect iconRect(left + (right - left - kIconSize) / 2, top + (bottom - top - kIconSize) / 2,
                         kIconSize, kIconSize);
    m_icon.paint(&painter, iconRect);
}

void CDragDlg::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_control == WindowControl::None)
        return;  // framed by the desktop
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
    update();
}

void CDragDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        raise();
        activateWindow();
        emit trayMenuRequested(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        // The move starts only once the mouse really moves, so that a double click stays
        // a double click.
        m_dragging = false;
        m_ptDragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CDragDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint target = event->globalPosition().toPoint() - m_ptDragOffset;
    if (!m_dragging) {
        if ((target - frameGeometry().topLeft()).manhattanLength() < QApplication::startDragDistance())
            return;
        // No window manager moves a window it does not manage.
        if (m_control != WindowControl::Unmanaged && windowHandle() != nullptr &&
            windowHandle()->startSystemMove())
            return;
        m_dragging = true;
    }
    move(target);
    event->accept();
}

void CDragDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void CDragDlg::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        emit toggleMainWindow();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CDragDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CDragDlg::dragEnterEvent(QDragEnterEvent* event)
{
    AcceptText(event);
}

void CDragDlg::dragMoveEvent(QDragMoveEvent* event)
{
    AcceptText(event);
}

void CDragDlg::dropEvent(QDropEvent* event)
{
    // Dropped text is offered whole and unchecked; the Add Task dialog judges it.
    if (AcceptText(event))
        Offer(event->mimeData()->text());
}

void CDragDlg::ReadClipboard()
{
    if (!m_watchClipboard)
        return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (data == nullptr || !data->hasText())
        return;
    const QString text = data->text();
    // On Wayland the clipboard is told again whenever the focus comes back: only a text
    // not seen before is offered there.
    if (m_control == WindowControl::None) {
        if (text == m_lastClipboard)
            return;
        m_lastClipboard = text;
    }
    // The first line as it stands: a blank in front of the address rejects it.
    const std::string line = FirstLine(text.toStdString());
    if (!IsAcceptedTaskAddress(line, ServiceConfig::Current().serviceHost))
        return;
    if (!m_admitCopied || m_admitCopied(line))
        Offer(QString::fromStdString(line));
}

void CDragDlg::Offer(const QString& url)
{
    m_pendingUrl = url;
    emit urlDropped(url);
}
