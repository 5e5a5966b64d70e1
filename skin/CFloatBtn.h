#pragma once
#include "skin/CHoverButton.h"

// The rounded grey gradient button that lights up under the mouse.
class CFloatBtn : public CHoverButton {
    Q_OBJECT

public:
    explicit CFloatBtn(QWidget* parent = nullptr);
    CFloatBtn(const QString& text, QWidget* parent);

protected:
    skin::ButtonLook Look(bool pressed, bool hovering) const override;
};
