#pragma once
#include <QIcon>
#include <QImage>
#include <QRegion>
#include <QSize>

// The main window's skin for a client area of `size`: grey header band, white body,
// grey footer band, the line under the title, the rounded black frame and the
// application icon at the top left. Painted at `ratio` device pixels per pixel.
QImage PaintMainBackground(QSize size, qreal ratio, const QIcon& icon);

// The window's shape: the client area with rounded 15 x 15 corners.
QRegion RoundedWindowShape(QSize size);

inline constexpr int kHeaderBottom = 50;
inline constexpr int kFooterHeight = 40;
inline constexpr int kIconX = 5;
inline constexpr int kIconY = 7;
inline constexpr int kIconSize = 32;
