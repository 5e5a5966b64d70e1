#include "skin/CTransButton.h"

#include <algorithm>

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace {

constexpr int kTextLeft = 17;  // two pixels right of the indicator box

}  // namespace

CTransButton::CTransButton(const QString& text, QWidget* parent) : CSkinButton(parent)
{
    setText(text);
}

QStyle::State CTransButton::IndicatorState(int check, bool pressed, bool hover)
{
    // Always drawn enabled and without focus: the controls have no disabled or focus look.
    QStyle::State state = QStyle::State_Enabled;
    state |= check == 1 ? QStyle::State_On : QStyle::State_Off;
    if (pressed)
        state |= QStyle::State_Sunken;
    else if (hover)
        state |= QStyle::State_MouseOver;
    return state;
}

QRect CTransButton::IndicatorBox(int height)
{
    return QRect(-1, (height - 15) / 2, 16, 15);
}

QSize CTransButton::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {kTextLeft + metrics.horizontalAdvance(text()) + 2, std::max(15, metrics.height())};
}

void CTransButton::nextCheckState()
{
    m_nCheck = m_nCheck != 1 ? 1 : 0;
    update();
}

void CTransButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state = IndicatorState(m_nCheck, isDown(), IsHovering());
    option.rect = IndicatorBox(height());
    style()->drawPrimitive(Indicator(), &option, &painter, this);

    // The skin is always light, so the text is black whatever the desktop's colours.
    painter.setPen(Qt::black);
    painter.setFont(font());
    const QRect textRect(kTextLeft, 0, std::max(0, width() - kTextLeft), height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                     text());
}

void CTransButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange)
        update();
    QAbstractButton::changeEvent(event);
}
