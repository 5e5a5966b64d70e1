#include "skin/CTitleButton.h"

CTitleButton::CTitleButton(QWidget* parent) : CHoverButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

CTitleButton::CTitleButton(const QString& text, QWidget* parent) : CTitleButton(parent)
{
    setText(text);
}

skin::ButtonLook CTitleButton::Look(bool pressed, bool hovering) const
{
    return skin::TitleButtonLook(pressed, hovering);
}
