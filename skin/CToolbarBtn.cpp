#include "skin/CToolbarBtn.h"

CToolbarBtn::CToolbarBtn(QWidget* parent) : CHoverButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

CToolbarBtn::CToolbarBtn(const QString& text, QWidget* parent) : CToolbarBtn(parent)
{
    setText(text);
}

skin::ButtonLook CToolbarBtn::Look(bool pressed, bool hovering) const
{
    return skin::ToolbarButtonLook(pressed, hovering);
}
