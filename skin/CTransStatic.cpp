#include "skin/CTransStatic.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStringList>

namespace {

// Without any of these the label wraps at word boundaries.
constexpr unsigned kNoWrapBits = 0xC20C;

// What screen readers and other assistive tools read of a label: its text, as shown.
class TransStaticAccessible : public QAccessibleWidget {
public:
    explicit TransStaticAccessible(CTransStatic* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(kind);
        return static_cast<const CTransStatic*>(widget())->ShownText();
    }
};

QAccessibleInterface* AccessibleFor(const QString& className, QObject* object)
{
    if (className == QLatin1String("CTransStatic") && object != nullptr && object->isWidgetType())
        return new TransStaticAccessible(static_cast<CTransStatic*>(object));
    return nullptr;
}

void InstallAccessibility()
{
    static const bool installed = (QAccessible::installFactory(AccessibleFor), true);
    (void)installed;
}

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

CTransStatic::CTransStatic(QWidget* parent) : QWidget(parent)
{
    InstallAccessibility();
}

CTransStatic::CTransStatic(const QString& text, unsigned style, QWidget* parent)
    : QWidget(parent), m_style(style), m_text(text)
{
    InstallAccessibility();
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
    // A status line changes under the user's eyes; a screen reader hears of it too.
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

QString CTransStatic::ShownText() const
{
    if (m_style & SS_NOPREFIX)
        return m_text;
    // A single '&' marks the next character and is not shown; "&&" shows one.
    QString shown;
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        if (m_text[i] == QLatin1Char('&') && i + 1 < m_text.size())
            ++i;
        else if (m_text[i] == QLatin1Char('&'))
            continue;
        shown += m_text[i];
    }
    return shown;
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
