#pragma once
#include <QString>
#include <QWidget>

// Style bits with which the windows describe their labels (the platform's static-control
// values, kept so that a label's description reads the same in every window).
inline constexpr unsigned SS_LEFT = 0x0;
inline constexpr unsigned SS_CENTER = 0x1;
inline constexpr unsigned SS_RIGHT = 0x2;
inline constexpr unsigned SS_NOPREFIX = 0x80;
inline constexpr unsigned SS_CENTERIMAGE = 0x200;
inline constexpr unsigned SS_ENDELLIPSIS = 0x4000;
inline constexpr unsigned SS_PATHELLIPSIS = 0x8000;

// A text label that paints only its text, so the parent's skin shows through. Four text
// looks, chosen with SetType:
//   0 black, 1 red, 2 blue underlined, 3 bold black; any other value draws nothing.
class CTransStatic : public QWidget {
    Q_OBJECT

public:
    // How a label's style bits lay out its text.
    struct TextFormat {
        int nFlags = 0;                           // Qt::AlignmentFlag | Qt::TextFlag
        Qt::TextElideMode elide = Qt::ElideNone;  // applied to each line
        friend bool operator==(const TextFormat&, const TextFormat&) = default;
    };
    static TextFormat FormatForStyle(unsigned style);

    explicit CTransStatic(QWidget* parent = nullptr);
    CTransStatic(const QString& text, unsigned style, QWidget* parent);

    void SetType(int type);
    int Type() const { return m_nType; }

    void SetStyle(unsigned style);
    unsigned Style() const { return m_style; }

    // A change is announced to assistive technology.
    void setText(const QString& text);
    QString text() const { return m_text; }
    // The text as the label shows it: without the '&' that marks a mnemonic. Assistive
    // technology reads this as the label's name.
    QString ShownText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_nType = 0;
    unsigned m_style = SS_LEFT;
    QString m_text;
};
