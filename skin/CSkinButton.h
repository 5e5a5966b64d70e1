#pragma once
#include <QAbstractButton>

// A button that tracks the pointer itself: hot from the first entry or move over it
// until it is left or hidden, repainting only when that changes; and a fast second
// click, which arrives as a double click, still acts as a click.
class CSkinButton : public QAbstractButton {
    Q_OBJECT

public:
    bool IsHovering() const { return m_bHover; }

protected:
    explicit CSkinButton(QWidget* parent);

    // Called when the hover state changes; repaints the button.
    virtual void HoverChanged(bool hovering);

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    void SetHover(bool hover);

    bool m_bHover = false;
};
