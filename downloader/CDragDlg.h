#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include <QIcon>
#include <QPoint>
#include <QString>
#include <QWidget>

#include "desktop/DisplayPlatform.h"

// The small always-on-top square near the top right corner of the screen, the quick way
// to add a task: text dropped on it, or a watch-page or video file address copied
// anywhere, becomes the pending address and is announced with urlDropped; the main window
// then opens the Add Task dialog with it. It never creates a task itself. A right click asks for the tray
// menu, a double click shows or hides the main window, the left button moves the square.
// Through XWayland in a Wayland session it keeps clear of the compositor's X11 window
// manager, which may put a tool window elsewhere. On native Wayland, where a window can
// be neither placed nor kept on top and the clipboard is heard only with the focus, it is
// an ordinary small window that the user moves by its title bar, and the clipboard is
// read whenever the program gains the focus.
class CDragDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSize = 50;

    explicit CDragDlg(const QIcon& icon, WindowControl control = CurrentWindowControl(),
                      QWidget* parent = nullptr);

    // The last address offered; a newer one overwrites it.
    QString PendingUrl() const { return m_pendingUrl; }

    // Puts the square at the top right of the primary screen (50 x 50, 100 pixels in from
    // the right edge, 10 down from the top) and shows it.
    void ShowAtTopRight();

    // The clipboard watcher, on from the start. Off, copies offer nothing.
    void SetWatchClipboard(bool on) { m_watchClipboard = on; }
    bool WatchesClipboard() const { return m_watchClipboard; }
    // Asked before a copied address is offered: false holds it back. Drops never ask.
    void SetClipboardFilter(std::function<bool(const std::string& address)> admit)
    {
        m_admitCopied = std::move(admit);
    }

    // The text up to, not including, the first CR or LF; all of it without a line break.
    static std::string FirstLine(std::string_view text);

signals:
    void urlDropped(const QString& url);
    void trayMenuRequested(const QPoint& globalPos);
    void toggleMainWindow();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ReadClipboard();
    void Offer(const QString& url);
    QRect TopRightGeometry() const;

    QIcon m_icon;
    const WindowControl m_control;
    QString m_pendingUrl;
    bool m_watchClipboard = true;
    std::function<bool(const std::string&)> m_admitCopied;
    QString m_lastClipboard;  // what the clipboard held when last read, on Wayland
    bool m_dragging = false;  // moving by hand where the window system cannot
    QPoint m_ptDragOffset;
};
