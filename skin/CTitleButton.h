#pragma once
#include "skin/CHoverButton.h"

// A caption-bar button (close, minimise): text only, white under the mouse.
class CTitleButton : public CHoverButton {
    Q_OBJECT

public:
    explicit CTitleButton(QWidget* parent = nullptr);
    CTitleButton(const QString& text, QWidget* parent);

protected:
    skin::ButtonLook Look(bool pressed, bool hovering) const override;
};
