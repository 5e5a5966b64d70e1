#include "downloader/MainBackground.h"

#include <QBitmap>
#include <QPainter>

#include "skin/GradientFill.h"

namespace {

const QColor kHeaderTop(198, 198, 198);
const QColor kHeaderBottomColour(156, 156, 156);
const QColor kFooterTop(207, 207, 207);
const QColor kFooterBottom(191, 191, 191);
const QColor kTitleLine(137, 136, 166);
constexpr int kTitleLineY = 25;
constexpr int kTitleLineLeft = 45;
constexpr int kTitleLineRightInset = 15;
constexpr qreal kCornerRadius = 7.5;  // a 15 x 15 corner ellipse

}  // namespace

QImage PaintMainBackground(QSize size, qreal ratio, const QIcon& icon)
{
    if (size.isEmpty())
        return {};
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int width = size.width();
    const int height = size.height();

    skin::FillGradient(painter, QRect(0, 0, width, kHeaderBottom), kHeaderTop, kHeaderBottomColour,
                       skin::GradientBands::Thin);
    skin::FillGradient(painter, QRect(0, height - kFooterHeight, width, kFooterHeight), kFooterTop,
                       kFooterBottom, skin::GradientBands::Thin);
    const int lineRight = width - kTitleLineRightInset;
    if (lineRight > kTitleLineLeft)
        skin::FillGradient(painter, QRect(kTitleLineLeft, kTitleLineY, lineRight - kTitleLineLeft, 1),
                           kTitleLine, kTitleLine, skin::GradientBands::Columns);

    // Two frames, 15 and 16 wide corners, so the rounded corners read as one solid line.
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    const QRect frame(0, 0, width - 1, height - 1);
    painter.drawRoundedRect(frame, kCornerRadius, kCornerRadius);
    painter.drawRoundedRect(frame, kCornerRadius + 0.5, kCornerRadius + 0.5);

    // From the icon's image for the ratio, so a scaled screen shows it sharp.
    icon.paint(&painter, QRect(kIconX, kIconY, kIconSize, kIconSize));
    return image;
}

QRegion RoundedWindowShape(QSize size)
{
    if (size.isEmpty())
        return {};
    QBitmap shape(size);
    shape.fill(Qt::color0);
    QPainter painter(&shape);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), kCornerRadius, kCornerRadius);
    painter.end();
    return QRegion(shape);
}
