#include "skin/CMenuButton.h"

CMenuButton::CMenuButton(QWidget* parent) : CHoverButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

CMenuButton::CMenuButton(const QString& text, QWidget* parent) : CMenuButton(parent)
{
    setText(text);
}

skin::ButtonLook CMenuButton::Look(bool pressed, bool hovering) const
{
    return skin::MenuButtonLook(pressed, hovering);
}
