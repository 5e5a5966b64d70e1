#include "skin/CHoverButton.h"

#include <algorithm>

#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "skin/GradientFill.h"

namespace {

// The rounded corners of the skin: a 5 x 5 corner ellipse.
constexpr qreal kCornerRadius = 2.5;

}  // namespace

CHoverButton::CHoverButton(QWidget* parent) : CSkinButton(parent) {}

CHoverButton::CHoverButton(const QString& text, QWidget* parent) : CHoverButton(parent)
{
    setText(text);
}

void CHoverButton::SetIcons(const QIcon& normal, int normalSize, const QIcon& hover, int hoverSize)
{
    m_icoNormal = normal;
    m_icoHover = hover;
    m_normalSize = normalSize;
    m_hoverSize = hoverSize;
    updateGeometry();
    update();
}

void CHoverButton::SetIcons(const QPixmap& normal, int normalSize, const QPixmap& hover, int hoverSize)
{
    SetIcons(normal.isNull() ? QIcon() : QIcon(normal), normalSize, hover.isNull() ? QIcon() : QIcon(hover),
             hoverSize);
}

void CHoverButton::CaptureBackground(const QPixmap& parentBackground)
{
    if (parentBackground.isNull())
        return;
    const qreal ratio = parentBackground.devicePixelRatio();
    const QRect source(geometry().topLeft() * ratio, size() * ratio);
    m_pixBackground = parentBackground.copy(source);
    m_pixBackground.setDevicePixelRatio(ratio);
}

void CHoverButton::CaptureBackground(const QImage& parentBackground)
{
    if (parentBackground.isNull())
        return;
    const qreal ratio = parentBackground.devicePixelRatio();
    const QRect source(geometry().topLeft() * ratio, size() * ratio);
    m_pixBackground = QPixmap::fromImage(parentBackground.copy(source));
    m_pixBackground.setDevicePixelRatio(ratio);
}

QSize CHoverButton::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const int iconSize =
        std::max(m_icoNormal.isNull() ? 0 : m_normalSize, m_icoHover.isNull() ? 0 : m_hoverSize);
    const int textWidth = metrics.horizontalAdvance(text()) + 12;
    if (iconSize > 0)
        return {std::max(textWidth, iconSize + 10), iconSize + metrics.height() + 9};
    return {textWidth, metrics.height() + 8};
}

void CHoverButton::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    QPixmap buffer(size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    // Until the parent captures a background, let whatever lies beneath show through.
    buffer.fill(Qt::transparent);
    {
        QPainter painter(&buffer);
        if (!m_pixBackground.isNull())
            painter.drawPixmap(0, 0, m_pixBackground);
        const bool pressed = isDown();
        const skin::ButtonLook look = Look(pressed, IsHovering());
        if (look.bSkin)
            PaintSkin(painter, look);
        PaintContent(painter, look, pressed);
    }
    QPainter(this).drawPixmap(0, 0, buffer);
}

void CHoverButton::PaintSkin(QPainter& painter, const skin::ButtonLook& look) const
{
    const QRect r = rect();
    const int split = r.top() + r.height() / look.nSplitDivisor;

    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(r), kCornerRadius, kCornerRadius);
    painter.save();
    painter.setClipPath(rounded);
    skin::FillGradient(painter, QRect(r.left(), r.top(), r.width(), split - r.top()),
                       skin::ToColor(look.upper.from), skin::ToColor(look.upper.to),
                       skin::GradientBands::Tall);
    skin::FillGradient(painter, QRect(r.left(), split, r.width(), r.bottom() + 1 - split),
                       skin::ToColor(look.lower.from), skin::ToColor(look.lower.to),
                       skin::GradientBands::Tall);
    painter.restore();

    // A one-pixel aliased outline of QRect(x, y, w, h) covers columns x..x+w, so both
    // frames are one pixel narrower than the area they enclose.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(skin::ToColor(skin::kInnerHighlight), 1));
    painter.drawRoundedRect(r.adjusted(1, 1, -2, -2), kCornerRadius, kCornerRadius);
    painter.setPen(QPen(skin::ToColor(skin::kOuterBorder), 1));
    painter.drawRoundedRect(r.adjusted(0, 0, -1, -1), kCornerRadius, kCornerRadius);
}

void CHoverButton::PaintContent(QPainter& painter, const skin::ButtonLook& look, bool pressed) const
{
    painter.setFont(font());
    painter.setPen(skin::ToColor(look.text));
    const QRect r = rect();
    // Plain button text keeps '&' as a mnemonic marker, as the platform's buttons do.
    const int centred = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;

    const bool normalLook = !IsHovering() || pressed;
    const QIcon& icon = normalLook ? m_icoNormal : m_icoHover;
    const int iconSize = normalLook ? m_normalSize : m_hoverSize;
    if (!look.bIcon || icon.isNull()) {
        painter.drawText(r, centred, text());
        return;
    }
    const skin::IconPlacement place = skin::PlaceIcon(r.width(), r.height(), iconSize);
    if (iconSize > 0) {
        const QPixmap pixmap = icon.pixmap(QSize(iconSize, iconSize), painter.device()->devicePixelRatioF());
        painter.drawPixmap(QRect(place.nIconX, place.nIconY, iconSize, iconSize), pixmap);
    }
    const QRect textRect(r.left(), place.nTextTop, r.width(), place.nTextBottom - place.nTextTop);
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine | Qt::TextShowMnemonic,
                     text());
}

void CHoverButton::HoverChanged(bool hovering)
{
    if (hovering) {
        update();
        return;
    }
    // The parent repaints the area beneath and recaptures the background from it; its
    // children in that area, this button among them, are repainted in the same pass.
    if (QWidget* parent = parentWidget())
        parent->update(geometry());
    else
        update();
}
