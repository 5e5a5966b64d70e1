#pragma once
#include "skin/CTransButton.h"

// A transparent check box.
class CTransCheck : public CTransButton {
    Q_OBJECT

public:
    explicit CTransCheck(QWidget* parent = nullptr);
    CTransCheck(const QString& text, QWidget* parent);

protected:
    QStyle::PrimitiveElement Indicator() const override;
};
