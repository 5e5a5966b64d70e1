#pragma once
#include <QFont>
#include <QRect>

namespace skin {

// a * b / c rounded to the nearest integer, halves away from zero, without overflow in
// between; -1 when c is 0.
int MulDiv(int a, int b, int c);

// Converts window layouts given in dialog units into pixels. A dialog unit is a quarter
// of the dialog font's average character width across, an eighth of its height down.
// Both programs lay out every control with the same 8 pt dialog font, so their windows
// keep their proportions whatever the desktop's font.
class DialogUnits {
public:
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    // The base units of a font: the rounded average width of "A".."Z" and "a".."z", and
    // the line height.
    static DialogUnits FromFont(const QFont& font);
    // The application's font at 8 points: the font every window and control uses.
    static QFont DialogFont();
    static DialogUnits ForApplication();

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

    int ToPixelsX(int units) const { return MulDiv(units, m_baseX, 4); }
    int ToPixelsY(int units) const { return MulDiv(units, m_baseY, 8); }
    // Position and size are converted separately, as the platform's dialog manager does,
    // so equal sizes stay equal wherever a control sits.
    QRect ToPixels(int x, int y, int width, int height) const;
    QRect ToPixels(const QRect& units) const;

private:
    int m_baseX;
    int m_baseY;
};

}  // namespace skin
