#pragma once
#include "skin/CHoverButton.h"

// A text link that turns red under the mouse or while pressed.
class CMenuButton : public CHoverButton {
    Q_OBJECT

public:
    explicit CMenuButton(QWidget* parent = nullptr);
    CMenuButton(const QString& text, QWidget* parent);

protected:
    skin::ButtonLook Look(bool pressed, bool hovering) const override;
};
