#include "skin/GradientFill.h"

#include <QPainter>

namespace skin {

Rgb ToRgb(const QColor& colour)
{
    return {colour.red(), colour.green(), colour.blue()};
}

QColor ToColor(Rgb colour)
{
    return QColor(colour.r, colour.g, colour.b);
}

void FillGradient(QPainter& painter, const QRect& rect, const QColor& from, const QColor& to,
                  GradientBands bands)
{
    const bool columns = bands == GradientBands::Columns;
    const int extent = columns ? rect.width() : rect.height();
    const int band = bands == GradientBands::Thin ? 1 : 2;
    const std::vector<Rgb> steps = GradientSteps(ToRgb(from), ToRgb(to), extent);
    for (int i = 0; i < extent; ++i) {
        const QColor colour = ToColor(steps[static_cast<std::size_t>(i)]);
        if (columns)
            painter.fillRect(QRect(rect.left() + i, rect.top(), band, rect.height()), colour);
        else
            painter.fillRect(QRect(rect.left(), rect.top() + i, rect.width(), band), colour);
    }
}

}  // namespace skin
