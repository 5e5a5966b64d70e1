#include "skin/CSkinButton.h"

#include <QEnterEvent>
#include <QMouseEvent>

CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent)
{
    // Moves while the button is up must reach mouseMoveEvent, which starts the hover
    // when the enter event was missed (the button appeared under a still mouse).
    setMouseTracking(true);
}

void CSkinButton::HoverChanged(bool)
{
    update();
}

void CSkinButton::SetHover(bool hover)
{
    if (m_bHover == hover)
        return;
    m_bHover = hover;
    HoverChanged(hover);
}

void CSkinButton::enterEvent(QEnterEvent* event)
{
    SetHover(true);
    QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event)
{
    SetHover(false);
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event)
{
    if (rect().contains(event->position().toPoint()))
        SetHover(true);
    QAbstractButton::mouseMoveEvent(event);
}

void CSkinButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Where the platform already delivered a press for the second click, the button is
    // down, and pressing again would announce a third press for two clicks.
    if (isDown()) {
        event->accept();
        return;
    }
    mousePressEvent(event);
}

void CSkinButton::hideEvent(QHideEvent* event)
{
    // A hidden button gets no leave event; it must not come back lit.
    m_bHover = false;
    QAbstractButton::hideEvent(event);
}

bool CSkinButton::event(QEvent* event)
{
    // The style's own hover tracking would repaint on every entry and exit besides ours.
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::HoverMove:
        return true;
    default:
        return QAbstractButton::event(event);
    }
}
