#include "skin/CTransRadio.h"

CTransRadio::CTransRadio(QWidget* parent) : CTransButton(QString(), parent) {}

CTransRadio::CTransRadio(const QString& text, QWidget* parent) : CTransButton(text, parent) {}

QStyle::PrimitiveElement CTransRadio::Indicator() const
{
    return QStyle::PE_IndicatorRadioButton;
}
