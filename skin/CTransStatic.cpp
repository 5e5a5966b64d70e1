#include "skin/CTransStatic.h"

#include <QPainter>
#include <QStringList>

namespace {

// Without any of these the label wraps at word boundaries.
constexpr unsigned kNoWrapBits = 0xC20C;

}  // namespace

CTransStatic::TextFormat CTransStatic::FormatForStyle(unsigned style)
{
    TextFormat format;
    int flags = 0;
    // Both alignment bits together (the icon type) never carry text; centre is the
    // sensible reading.
    if (style & SS_CENTER)
        flags |= Qt::AlignHCenter;
    else if (style & SS_RIGHT)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;

    if (style & SS_CENTERIMAGE)
        flags |= Qt::AlignVCenter | Qt::TextSingleLine;
    else
        flags |= Qt::AlignTop;

    if (!(style & SS_NOPREFIX))
        flags |= Qt::TextShowMnemonic;

    if (style & SS_ENDELLIPSIS)
        format.elide = Qt::ElideRight;
    else if (style & SS_PATHELLIPSIS)
        format.elide = Qt::ElideMiddle;

    if (!(style & kNoWrapBits))
        flags |= Qt::TextWordWrap;
    format.nFlags = flags;
    return format;
}

CTransStatic::CTransStatic(QWidget* parent) : QWidget(parent) {}

CTransStatic::CTransStatic(const QString& text, unsigned style, QWidget* parent)
    : QWidget(parent), m_style(style), m_text(text)
{
}

void CTransStatic::SetType(int type)
{
    m_nType = type;
    update();
}

void CTransStatic::SetStyle(unsigned style)
{
    m_style = style;
    updateGeometry();
    update();
}

void CTransStatic::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

QSize CTransStatic::sizeHint() const
{
    const TextFormat format = FormatForStyle(m_style);
    return fontMetrics().size(format.nFlags & ~Qt::TextWordWrap, m_text);
}

void CTransStatic::paintEvent(QPaintEvent*)
{
    QFont font = this->font();
    QColor colour;
    switch (m_nType) {
    case 0:
        colour = QColor(0, 0, 0);
        break;
    case 1:
        colour = QColor(255, 0, 0);
        break;
    case 2:
        font.setUnderline(true);
        colour = QColor(0, 0, 255);
        break;
    case 3:
        font.setWeight(QFont::Bold);
        colour = QColor(0, 0, 0);
        break;
    default:
        return;
    }

    const TextFormat format = FormatForStyle(m_style);
    QString shown = m_text;
    if (format.elide != Qt::ElideNone) {
        const QFontMetrics metrics(font);
        QStringList lines = shown.split(QLatin1Char('\n'));
        for (QString& line : lines)
            line = metrics.elidedText(line, format.elide, width(), format.nFlags);
        shown = lines.join(QLatin1Char('\n'));
    }

    QPainter painter(this);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(rect(), format.nFlags, shown);
}
