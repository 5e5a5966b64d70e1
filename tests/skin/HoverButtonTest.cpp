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

// A parent that paints a plain background and hands it to its button, as the windows do.
class SkinnedParent : public QWidget {
public:
    QColor m_colour{40, 40, 200};
    CHoverButton* m_pButton = nullptr;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPixmap background(size());
        background.fill(m_colour);
        QPainter(this).drawPixmap(0, 0, background);
        m_pButton->CaptureBackground(background);
    }
};

class CountingButton : public CFloatBtn {
public:
    using CFloatBtn::CFloatBtn;
    int m_nPaints = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++m_nPaints;
        CFloatBtn::paintEvent(event);
    }
};

}  // namespace

class HoverButtonTest : public QObject {
    Q_OBJECT

private slots:
    void FloatButtonBands();
    void ToolbarButtonOverBackground();
    void IconLayout();
    void TextColours();
    void DoubleClickGivesTwoClicks();
    void HoverRepaintsOnceAndRecapturesOnLeave();
};

void HoverButtonTest::FloatButtonBands()
{
    struct Case {
        bool hover, pressed;
        int split;  // first row of the lower band: 30 / 2 idle, 30 / 3 lit
        QColor row2, lastUpper, firstLower, row27;
    };
    const Case cases[] = {
        {false, false, 15, {207, 209, 208}, {208, 209, 208}, {218, 218, 218}, {230, 230, 230}},
        {true, false, 10, {230, 230, 230}, {237, 237, 237}, {219, 219, 219}, {199, 199, 198}},
        {true, true, 10, {230, 230, 230}, {237, 237, 237}, {195, 195, 194}, {215, 215, 215}},
        {false, true, 10, {230, 230, 230}, {237, 237, 237}, {195, 195, 194}, {215, 215, 215}},
    };
    for (const Case& c : cases) {
        CFloatBtn button;
        button.resize(80, 30);
        if (c.hover)
            Enter(button);
        button.setDown(c.pressed);
        const QImage image = RenderOver(button, kUnder);
        const QString state = QString("hover %1 pressed %2").arg(c.hover).arg(c.pressed);
        auto expect = [&](int x, int y, QColor colour) {
            QVERIFY2(image.pixelColor(x, y) == colour, qPrintable(state + QString(" at %1,%2").arg(x).arg(y)));
        };
        expect(40, 2, c.row2);
        expect(40, c.split - 1, c.lastUpper);
        expect(40, c.split, c.firstLower);
        expect(40, 27, c.row27);
        // Outer border round the edge, white highlight inside it, the corner pixel clipped.
        for (auto [x, y] : {std::pair{40, 0}, {40, 29}, {0, 15}, {79, 15}})
            expect(x, y, kOuter);
        for (auto [x, y] : {std::pair{40, 1}, {40, 28}, {1, 15}, {78, 15}})
            expect(x, y, kWhite);
        expect(0, 0, kUnder);
    }
}

void HoverButtonTest::ToolbarButtonOverBackground()
{
    QWidget parent;
    parent.resize(200, 100);
    CToolbarBtn button(QString(), &parent);
    button.setGeometry(30, 20, 60, 50);
    QCOMPARE(RenderOver(button, kUnder).pixelColor(5, 5), kUnder);  // uncaptured and at rest: nothing

    // Every background pixel distinct, so a copy from the wrong place shows.
    QImage background(parent.size(), QImage::Format_RGB32);
    for (int y = 0; y < background.height(); ++y)
        for (int x = 0; x < background.width(); ++x)
            background.setPixelColor(x, y, QColor(x, y, 77));
    button.CaptureBackground(background);
    const QImage rest = RenderOver(button, kUnder);
    QCOMPARE(rest.pixelColor(0, 0), QColor(30, 20, 77));
    QCOMPARE(rest.pixelColor(59, 49), QColor(89, 69, 77));

    // Hovered, or pressed after the pointer left: the float button's idle skin.
    for (bool hover : {true, false}) {
        hover ? Enter(button) : Leave(button);
        button.setDown(!hover);
        const QImage lit = RenderOver(button, kUnder);
        QCOMPARE(lit.pixelColor(30, 0), kOuter);
        QCOMPARE(lit.pixelColor(30, 2), QColor(207, 209, 208));
        QCOMPARE(lit.pixelColor(30, 25), QColor(218, 218, 218));
        QCOMPARE(lit.pixelColor(0, 0), QColor(30, 20, 77));
    }

    button.setDown(false);
    button.CaptureBackground(QPixmap());  // ignored: the earlier copy stays
    QCOMPARE(RenderOver(button, kUnder).pixelColor(5, 5), QColor(35, 25, 77));
}

void HoverButtonTest::IconLayout()
{
    CToolbarBtn button(QStringLiteral("Add"), nullptr);
    QFont font = button.font();
    font.setPixelSize(12);
    button.setFont(font);
    button.resize(61, 60);
    button.SetIcons(Solid(Qt::red, 16), 16, Solid(Qt::green, 21), 21);
    auto isIcon = [](QColor c) { return c == Qt::red || c == Qt::green; };

    // Normal icon at ((61 - 16) / 2, 5), the text at the bottom below it.
    QImage image = RenderOver(button, kWhite);
    QCOMPARE(image.pixelColor(22, 5), QColor(Qt::red));
    QCOMPARE(image.pixelColor(37, 20), QColor(Qt::red));
    QCOMPARE(CountPixels(image, isIcon), 16 * 16);
    auto [top, bottom] = InkRows(image, IsDark);
    QVERIFY(top > 21 && bottom <= 57);

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
    std::tie(top, bottom) = InkRows(image, IsDark);
    QVERIFY2(std::abs((top + bottom) / 2 - 30) <= 2, qPrintable(QString("text rows %1..%2").arg(top).arg(bottom)));
}

void HoverButtonTest::TextColours()
{
    QFont font;
    font.setPixelSize(24);
    font.setBold(true);
    const QColor grey(128, 128, 128);
    struct Case {
        bool title, hover, pressed;
        bool (*ink)(QColor);
    };
    const Case cases[] = {
        {false, false, false, IsDark}, {false, true, false, IsRed}, {false, false, true, IsRed},
        {true, false, false, IsDark},  {true, true, false, IsWhite}, {true, true, true, IsDark},
    };
    for (const Case& c : cases) {
        CMenuButton link(QStringLiteral("Help"), nullptr);
        CTitleButton title(QStringLiteral("x"), nullptr);
        CHoverButton& button = c.title ? static_cast<CHoverButton&>(title) : link;
        button.setFont(font);
        button.resize(60, 40);
        button.SetIcons(Solid(Qt::green, 8), 8, Solid(Qt::green, 8), 8);
        if (c.hover)
            Enter(button);
        button.setDown(c.pressed);
        const QImage image = RenderOver(button, grey);
        const QString state = QString("title %1 hover %2 pressed %3").arg(c.title).arg(c.hover).arg(c.pressed);
        QVERIFY2(CountPixels(image, c.ink) > 10, qPrintable(state));
        for (bool (*other)(QColor) : {IsDark, IsRed, IsWhite})
            QVERIFY2(other == c.ink || CountPixels(image, other) == 0, qPrintable(state));
        if (c.title)  // text only, whatever icons it was given
            QCOMPARE(CountPixels(image, [](QColor p) { return p == Qt::green; }), 0);
    }
}

void HoverButtonTest::DoubleClickGivesTwoClicks()
{
    CFloatBtn floatBtn(QStringLiteral("Clear"), nullptr);
    CToolbarBtn toolbarBtn(QStringLiteral("Add"), nullptr);
    CMenuButton menuBtn(QStringLiteral("Help"), nullptr);
    CTitleButton titleBtn(QStringLiteral("x"), nullptr);
    for (CHoverButton* button : std::initializer_list<CHoverButton*>{&floatBtn, &toolbarBtn, &menuBtn, &titleBtn}) {
        button->resize(40, 20);
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        QSignalSpy presses(button, &QAbstractButton::pressed);
        // The second click comes as a double click alone, or as a press and a double click.
        for (bool pressFirst : {false, true}) {
            clicks.clear();
            presses.clear();
            QTest::mouseClick(button, Qt::LeftButton);
            if (pressFirst)
                QTest::mousePress(button, Qt::LeftButton);
            QTest::mouseDClick(button, Qt::LeftButton);
            QTest::mouseRelease(button, Qt::LeftButton);
            QCOMPARE(clicks.count(), 2);
            QCOMPARE(presses.count(), 2);
        }
    }
}

void HoverButtonTest::HoverRepaintsOnceAndRecapturesOnLeave()
{
    SkinnedParent parent;
    parent.resize(200, 100);
    CountingButton button(QString(), &parent);
    button.setGeometry(50, 30, 80, 30);
    parent.m_pButton = &button;
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QTRY_VERIFY(button.m_nPaints > 0);
    QTest::qWait(50);
    button.m_nPaints = 0;

    Enter(button);
    QTRY_COMPARE(button.m_nPaints, 1);
    for (int x : {10, 20, 30, 40})
        Move(button, QPoint(x, 10));
    QTest::qWait(50);
    QCOMPARE(button.m_nPaints, 1);

    // On leave the parent repaints beneath the button, which takes the new pixels.
    parent.m_colour = QColor(200, 40, 40);
    Leave(button);
    QVERIFY(!button.IsHovering());
    QTRY_COMPARE(button.m_nPaints, 2);
    QCOMPARE(RenderOver(button, kUnder).pixelColor(0, 0), QColor(200, 40, 40));

    // A move into a button that missed its enter event starts the hover, once.
    Move(button, QPoint(5, 5));
    QVERIFY(button.IsHovering());
    QTRY_COMPARE(button.m_nPaints, 3);
}

QTEST_MAIN(HoverButtonTest)
#include "HoverButtonTest.moc"
