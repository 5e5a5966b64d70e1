#include "skin/CTransCheck.h"

CTransCheck::CTransCheck(QWidget* parent) : CTransButton(QString(), parent) {}

CTransCheck::CTransCheck(const QString& text, QWidget* parent) : CTransButton(text, parent) {}

QStyle::PrimitiveElement CTransCheck::Indicator() const
{
    return QStyle::PE_IndicatorCheckBox;
}
