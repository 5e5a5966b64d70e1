#pragma once
#include <QColor>
#include <QRect>

#include "skin/GradientRule.h"

class QPainter;

namespace skin {

enum class GradientBands {
    Tall,     // top to bottom, each step paints two rows (the last one also the row below)
    Thin,     // top to bottom, one row per step
    Columns,  // left to right, each step paints two columns (the last one also the column after)
};

// Fills `rect` with the stepped gradient of GradientSteps, one solid band per step.
// Nothing is drawn for an empty extent.
void FillGradient(QPainter& painter, const QRect& rect, const QColor& from, const QColor& to,
                  GradientBands bands);

Rgb ToRgb(const QColor& colour);
QColor ToColor(Rgb colour);

}  // namespace skin
