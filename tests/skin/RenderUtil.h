#pragma once
#include <functional>
#include <utility>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

// Renders a widget alone over a known colour, so that whatever it leaves unpainted
// keeps that colour.
inline QImage RenderOver(QWidget& widget, QColor under)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(under);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

inline int CountPixels(const QImage& image, const std::function<bool(QColor)>& match)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += match(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

inline bool IsDark(QColor c)
{
    return c.red() < 90 && c.green() < 90 && c.blue() < 90;
}
inline bool IsRed(QColor c)
{
    return c.red() > 200 && c.green() < 80 && c.blue() < 80;
}
inline bool IsBlue(QColor c)
{
    return c.blue() > 200 && c.red() < 80 && c.green() < 80;
}
inline bool IsWhite(QColor c)
{
    return c.red() > 220 && c.green() > 220 && c.blue() > 220;
}

inline void Enter(QWidget& widget)
{
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QApplication::sendEvent(&widget, &enter);
}

inline void Leave(QWidget& widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&widget, &leave);
}

inline void Move(QWidget& widget, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}
