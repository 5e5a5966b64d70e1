#include "skin/DialogUnits.h"

#include <cstdint>
#include <limits>

#include <QApplication>
#include <QFontMetrics>

namespace skin {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = c / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t result = negative ? (product - half) / c : (product + half) / c;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(result);
}

DialogUnits DialogUnits::FromFont(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits((alphabet / 26 + 1) / 2, metrics.height());
}

QFont DialogUnits::DialogFont()
{
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}

DialogUnits DialogUnits::ForApplication()
{
    return FromFont(DialogFont());
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const
{
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QRect DialogUnits::ToPixels(const QRect& units) const
{
    return ToPixels(units.x(), units.y(), units.width(), units.height());
}

}  // namespace skin
