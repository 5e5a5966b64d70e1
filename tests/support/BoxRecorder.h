#pragma once
#include <QString>
#include <QStringList>

#include "desktop/MessageBoxes.h"

// Takes the message boxes' place for as long as it lives; records "caption | text".
class BoxRecorder : public MessageBoxes {
public:
    BoxRecorder() { MessageBoxes::Install(this); }
    ~BoxRecorder() override { MessageBoxes::Install(nullptr); }
    void Exclaim(QWidget*, const QString& caption, const QString& text) override
    {
        m_boxes << caption + QStringLiteral(" | ") + text;
    }
    QStringList m_boxes;
};
