#pragma once
#include "skin/CTransButton.h"

// A transparent radio button. Each keeps its own tick; the owner clears the others.
class CTransRadio : public CTransButton {
    Q_OBJECT

public:
    explicit CTransRadio(QWidget* parent = nullptr);
    CTransRadio(const QString& text, QWidget* parent);

protected:
    QStyle::PrimitiveElement Indicator() const override;
};
