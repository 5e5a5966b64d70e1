#pragma once
#include <QStyle>

#include "skin/CSkinButton.h"

// A check box or radio button that draws only its indicator and its text, so the
// parent's skin shows through everywhere else. It keeps its tick in m_nCheck itself:
// a click toggles it before the owner's clicked() handlers run, and owners tie
// buttons together (radio pairs) in those handlers.
class CTransButton : public CSkinButton {
    Q_OBJECT

public:
    // Stores the tick without repainting; the owner repaints when it has set all its buttons.
    void SetCheckState(int check) { m_nCheck = check; }

    QSize sizeHint() const override;

    // The indicator's state flags: ticked only for exactly 1; pressed wins over hot.
    static QStyle::State IndicatorState(int check, bool pressed, bool hover);
    // The indicator's box in a control of the given height: 16 x 15 from x = -1, centred
    // with truncating division.
    static QRect IndicatorBox(int height);

    // Read directly by owners, as dialogs read their controls' state.
    int m_nCheck = 0;  // 1 when ticked

protected:
    explicit CTransButton(const QString& text, QWidget* parent);
    virtual QStyle::PrimitiveElement Indicator() const = 0;

    void nextCheckState() override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
};
