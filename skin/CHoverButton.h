#pragma once
#include <QIcon>
#include <QPixmap>

#include "skin/ButtonLook.h"
#include "skin/CSkinButton.h"

class QImage;

// A push button that paints its own skin over a copy of its parent's background and
// lights up while the mouse is over it. The parent paints its background, then hands
// the painted pixels to CaptureBackground of every such button it carries.
class CHoverButton : public CSkinButton {
    Q_OBJECT

public:
    explicit CHoverButton(QWidget* parent = nullptr);
    CHoverButton(const QString& text, QWidget* parent);

    // Either icon may be null; a state whose icon is null shows centred text instead.
    void SetIcons(const QIcon& normal, int normalSize, const QIcon& hover, int hoverSize);
    void SetIcons(const QPixmap& normal, int normalSize, const QPixmap& hover, int hoverSize);

    // `parentBackground` holds the parent's freshly painted background in the parent's
    // coordinates; the button keeps the piece under its own geometry. A null image is
    // ignored. Does not repaint: it is meant to be called from the parent's paint event,
    // and the button is painted right after its parent anyway.
    void CaptureBackground(const QPixmap& parentBackground);
    void CaptureBackground(const QImage& parentBackground);

    bool HasBackground() const { return !m_pixBackground.isNull(); }

    QSize sizeHint() const override;

protected:
    virtual skin::ButtonLook Look(bool pressed, bool hovering) const = 0;

    void paintEvent(QPaintEvent* event) override;
    void HoverChanged(bool hovering) override;

private:
    void PaintSkin(QPainter& painter, const skin::ButtonLook& look) const;
    void PaintContent(QPainter& painter, const skin::ButtonLook& look, bool pressed) const;

    QIcon m_icoNormal;
    QIcon m_icoHover;
    int m_normalSize = 0;
    int m_hoverSize = 0;
    QPixmap m_pixBackground;
};
