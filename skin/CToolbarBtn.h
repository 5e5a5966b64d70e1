#pragma once
#include "skin/CHoverButton.h"

// A flat toolbar button: icon and text over the parent's background, skinned only under
// the mouse or while pressed. It never takes the focus, so clicking it leaves the focus
// where the user had it.
class CToolbarBtn : public CHoverButton {
    Q_OBJECT

public:
    explicit CToolbarBtn(QWidget* parent = nullptr);
    CToolbarBtn(const QString& text, QWidget* parent);

protected:
    skin::ButtonLook Look(bool pressed, bool hovering) const override;
};
