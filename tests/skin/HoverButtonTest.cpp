#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include "RenderUtil.h"
#include "skin/CFloatBtn.h"
#include "skin/CMenuButton.h"
#include "skin/CTitleButton.h"
#include "skin/CToolbarBtn.h"

namespace {

const QColor kUnder(10, 100, 10);
const QColor kOuter(171, 166, 151);
const QColor kWhite(255, 255, 255);

QPixmap Solid(QColor colour, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(colour);
    return pixmap;
}

// A parent that paints a background and hands it to its button, as the windows do. Every
// pixel is distinct, so a copy from the wrong place shows.
class SkinnedParent : public QWidget {
public:
    int m_blue = 200;
    CHoverButton* m_button = nullptr;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QImage background(size(), QImage::Format_RGB32);
        for (int y = 0; y < background.height(); ++y)
            for (int x = 0; x < background.width(); ++x)
                background.setPixelColor(x, y, QColor(x, y, m_blue));
        QPainter(this).drawImage(0, 0, background);
        m_button->CaptureBackground(background);
    }
};

// Counts the paint events of the widget it watches.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

}  // namespace

class HoverButtonTest : public QObject {
    Q_OBJECT

private slots:
    // One pixel per painting rule of the float skin, 80 x 30: the bands split at 30 / 2 idle
    // and 30 / 3 lit, the outer border, the white highlight inside it, the corner clipped.
    void FloatButtonBands()
    {
        const struct {
            bool hover, pressed;
            QPoint at;
            QColor colour;
        } cases[] = {
            {false, false, {40, 2}, {207, 209, 208}},
            {false, false, {40, 15}, {218, 218, 218}},
            {false, false, {40, 27}, {230, 230, 230}},
            {true, false, {40, 2}, {230, 230, 230}},
            {true, false, {40, 10}, {219, 219, 219}},
            {false, true, {40, 10}, {195, 195, 194}},
            {false, false, {79, 15}, kOuter},
            {true, false, {1, 15}, kWhite},
            {false, true, {0, 0}, kUnder},
        };
        for (const auto& c : cases) {
            CFloatBtn button;
            button.resize(80, 30);
            if (c.hover)
                Enter(button);
            button.setDown(c.pressed);
            QVERIFY2(RenderOver(button, kUnder).pixelColor(c.at) == c.colour,
                     qPrintable(QString::number(&c - cases)));
        }
    }

    void IconLayout()
    {
        CToolbarBtn button(QStringLiteral("Add"), nullptr);
        button.setFont(QFont(QString(), 9));  // 12 pixels at 96 dots an inch
        button.resize(61, 60);
        button.SetIcons(Solid(Qt::red, 16), 16, Solid(Qt::green, 21), 21);
        auto isIcon = [](QColor c) { return c == Qt::red || c == Qt::green; };

        // Normal icon at ((61 - 16) / 2, 5), the text at the bottom below it.
        QImage image = RenderOver(button, kWhite);
        QCOMPARE(image.pixelColor(22, 5), QColor(Qt::red));
        QCOMPARE(CountPixels(image, isIcon), 16 * 16);
        QVERIFY(CountPixels(image.copy(0, 0, 61, 40), IsDark) == 0 && CountPixels(image, IsDark) > 10);

        // Hover icon at ((61 - 21) / 2, 5); pressed under the mouse goes back to the normal one.
        Enter(button);
        image = RenderOver(button, kWhite);
        QCOMPARE(image.pixelColor(20, 5), QColor(Qt::green));
        QCOMPARE(CountPixels(image, isIcon), 21 * 21);
        button.setDown(true);
        QCOMPARE(RenderOver(button, kWhite).pixelColor(22, 5), QColor(Qt::red));
        button.setDown(false);

        // A state without its icon shows centred text.
        button.SetIcons(Solid(Qt::red, 16), 16, QPixmap(), 0);
        image = RenderOver(button, kWhite);
        QCOMPARE(CountPixels(image, isIcon), 0);
        QVERIFY(CountPixels(image, IsDark) > 10 && CountPixels(image.copy(0, 0, 61, 22), IsDark) == 0 &&
                CountPixels(image.copy(0, 39, 61, 21), IsDark) == 0);
    }

    void TextColours()
    {
        QFont font;
        font.setPixelSize(24);
        font.setBold(true);
        const struct {
            bool title, hover, pressed;
            bool (*ink)(QColor);
        } cases[] = {
            {false, false, false, IsDark}, {false, true, false, IsRed},  {false, false, true, IsRed},
            {true, false, false, IsDark},  {true, true, false, IsWhite}, {true, true, true, IsDark},
        };
        for (const auto& c : cases) {
            CMenuButton link(QStringLiteral("Help"), nullptr);
            CTitleButton title(QStringLiteral("x"), nullptr);
            CHoverButton& button = c.title ? static_cast<CHoverButton&>(title) : link;
            button.setFont(font);
            button.resize(60, 40);
            button.SetIcons(Solid(Qt::green, 8), 8, Solid(Qt::green, 8), 8);
            if (c.hover)
                Enter(button);
            button.setDown(c.pressed);
            const QImage image = RenderOver(button, QColor(128, 128, 128));
            const QByteArray state = QByteArray::number(&c - cases);
            QVERIFY2(CountPixels(image, c.ink) > 10, state.constData());
            for (bool (*other)(QColor) : {IsDark, IsRed, IsWhite})
                QVERIFY2(other == c.ink || CountPixels(image, other) == 0, state.constData());
            if (c.title)  // text only, whatever icons it was given
                QCOMPARE(CountPixels(image, [](QColor p) { return p == Qt::green; }), 0);
        }
    }

    void CapturedBackgroundAndHoverRepaints()
    {
        SkinnedParent parent;
        parent.resize(200, 100);
        CToolbarBtn button(QString(), &parent);
        PaintCounter counter;
        button.installEventFilter(&counter);
        button.setGeometry(50, 30, 60, 50);
        parent.m_button = &button;
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QTRY_VERIFY(counter.paints > 0);
        QTest::qWait(50);
        // At rest the toolbar button shows the parent's pixels from its own place.
        QCOMPARE(RenderOver(button, kUnder).pixelColor(59, 49), QColor(109, 79, 200));
        counter.paints = 0;  // (rendering counts too)

        Enter(button);
        QTRY_COMPARE(counter.paints, 1);
        for (int x : {10, 20, 30, 40})
            Move(button, QPoint(x, 10));
        QTest::qWait(50);
        QCOMPARE(counter.paints, 1);
        QCOMPARE(RenderOver(button, kUnder).pixelColor(30, 2), QColor(207, 209, 208));  // lit: the float skin

        // On leave the parent repaints beneath the button, which takes the new pixels.
        parent.m_blue = 40;
        counter.paints = 0;
        Leave(button);
        QTRY_COMPARE(counter.paints, 1);
        button.CaptureBackground(QPixmap());  // ignored: the copy stays
        QCOMPARE(RenderOver(button, kUnder).pixelColor(5, 5), QColor(55, 35, 40));
        counter.paints = 0;

        // A move into a button that missed its enter event starts the hover, once.
        Move(button, QPoint(5, 5));
        QVERIFY(button.IsHovering());
        QTRY_COMPARE(counter.paints, 1);
        Leave(button);  // pressed after the pointer left: still lit
        button.setDown(true);
        QCOMPARE(RenderOver(button, kUnder).pixelColor(30, 2), QColor(207, 209, 208));
    }
};

QTEST_MAIN(HoverButtonTest)
#include "HoverButtonTest.moc"
