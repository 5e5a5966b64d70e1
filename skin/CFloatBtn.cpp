#include "skin/CFloatBtn.h"

CFloatBtn::CFloatBtn(QWidget* parent) : CHoverButton(parent) {}

CFloatBtn::CFloatBtn(const QString& text, QWidget* parent) : CFloatBtn(parent)
{
    setText(text);
}

skin::ButtonLook CFloatBtn::Look(bool pressed, bool hovering) const
{
    return skin::FloatButtonLook(pressed, hovering);
}
