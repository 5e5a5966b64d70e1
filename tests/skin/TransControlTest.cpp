#include <QAccessible>
#include <QProxyStyle>
#include <QStyleOption>
#include <QtTest>

#include "RenderUtil.h"
#include "skin/CTransCheck.h"
#include "skin/CTransRadio.h"
#include "skin/CTransStatic.h"

namespace {

const QColor kUnder(10, 200, 10);

// Remembers what the control last asked the style to draw.
class RecordingStyle : public QProxyStyle {
public:
    mutable QStyle::PrimitiveElement m_element = QStyle::PE_CustomBase;
    mutable QStyle::State m_state;
    mutable QRect m_rect;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        m_element = element;
        m_state = option->state;
        m_rect = option->rect;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

// The most matching pixels in any one row.
int WidestRow(const QImage& image, bool (*match)(QColor))
{
    int best = 0;
    for (int y = 0; y < image.height(); ++y)
        best = std::max(best, CountPixels(image.copy(0, y, image.width(), 1), match));
    return best;
}

}  // namespace

class TransControlTest : public QObject {
    Q_OBJECT

private slots:
    void IndicatorState()
    {
        const auto state = [](int check, bool pressed, bool hover) {
            return static_cast<int>(CTransButton::IndicatorState(check, pressed, hover));
        };
        const int on = QStyle::State_Enabled | QStyle::State_On;
        const int off = QStyle::State_Enabled | QStyle::State_Off;
        QCOMPARE(state(1, false, true), on | QStyle::State_MouseOver);
        QCOMPARE(state(1, true, true), on | QStyle::State_Sunken);  // pressed wins over hot
        QCOMPARE(state(0, true, false), off | QStyle::State_Sunken);
        QCOMPARE(state(2, false, false), off);  // only 1 is ticked
    }

    void DrawsThroughTheStyle()
    {
        QCOMPARE(CTransButton::IndicatorBox(10), QRect(-1, -2, 16, 15));  // truncated toward zero
        RecordingStyle style;
        CTransCheck check(QStringLiteral("auto rename"), nullptr);
        CTransRadio radio(QStringLiteral("Delete task only"), nullptr);
        for (CTransButton* button : std::initializer_list<CTransButton*>{&check, &radio}) {
            button->setStyle(&style);
            button->resize(120, 20);
            const QImage clear = RenderOver(*button, kUnder);
            QCOMPARE(style.m_element,
                     button == &check ? QStyle::PE_IndicatorCheckBox : QStyle::PE_IndicatorRadioButton);
            QCOMPARE(style.m_rect, QRect(-1, 2, 16, 15));
            QCOMPARE(style.m_state, CTransButton::IndicatorState(0, false, false));
            // Transparent: right of the text and above the box nothing is painted.
            QVERIFY(clear.pixelColor(119, 10) == kUnder && clear.pixelColor(8, 0) == kUnder);
            QVERIFY(CountPixels(clear, IsDark) > 0);

            button->SetCheckState(1);
            Enter(*button);
            button->setDown(true);
            const QImage ticked = RenderOver(*button, kUnder);
            QCOMPARE(style.m_state, CTransButton::IndicatorState(1, true, true));
            QVERIFY(ticked.copy(0, 0, 16, 20) != clear.copy(0, 0, 16, 20));

            button->setDown(false);
            button->SetCheckState(0);
            Leave(*button);
            QCOMPARE(RenderOver(*button, kUnder), clear);
        }
    }

    void ClickTogglesBeforeOwnerHears()
    {
        CTransCheck check(QStringLiteral("auto rename"), nullptr);
        check.resize(100, 20);
        QList<int> seen;
        int presses = 0;
        connect(&check, &QAbstractButton::clicked, this, [&] { seen << check.m_nCheck; });
        connect(&check, &QAbstractButton::pressed, this, [&] { ++presses; });
        QTest::mouseClick(&check, Qt::LeftButton);
        QTest::mouseClick(&check, Qt::LeftButton);
        check.SetCheckState(7);
        QTest::mouseClick(&check, Qt::LeftButton);
        // A double click toggles twice and reports two clicks, whether its second press comes
        // as a double click alone or as a press and a double click (handled alike by every
        // skinned button).
        for (bool pressFirst : {false, true}) {
            QTest::mouseClick(&check, Qt::LeftButton);
            if (pressFirst)
                QTest::mousePress(&check, Qt::LeftButton);
            QTest::mouseDClick(&check, Qt::LeftButton);
            QTest::mouseRelease(&check, Qt::LeftButton);
        }
        QCOMPARE(seen, QList<int>({1, 0, 1, 0, 1, 0, 1}));
        QCOMPARE(presses, seen.size());
    }

    void StaticLooks()
    {
        CTransStatic label(QStringLiteral("Hello world"), SS_LEFT, nullptr);
        QFont font = label.font();
        font.setPixelSize(20);
        label.setFont(font);
        label.resize(200, 40);
        const int textWidth = QFontMetrics(font).horizontalAdvance(label.text());

        const QImage plain = RenderOver(label, kUnder);
        QVERIFY(CountPixels(plain, IsDark) > 20 && WidestRow(plain, IsDark) < textWidth / 2);
        QCOMPARE(plain.pixelColor(199, 39), kUnder);  // never fills its background

        label.SetType(1);
        const QImage red = RenderOver(label, kUnder);
        QVERIFY(CountPixels(red, IsRed) > 20 && CountPixels(red, IsDark) == 0);
        label.SetType(2);
        QVERIFY2(WidestRow(RenderOver(label, kUnder), IsBlue) > textWidth * 8 / 10, "no underline");
        label.SetType(3);
        QVERIFY(CountPixels(RenderOver(label, kUnder), IsDark) > CountPixels(plain, IsDark) * 115 / 100);
        for (int type : {4, -1, 1000}) {
            label.SetType(type);
            QCOMPARE(CountPixels(RenderOver(label, kUnder), [](QColor c) { return c != kUnder; }), 0);
        }
    }

    // Read as shown, mnemonic marker dropped. (That a change is announced needs an
    // accessibility bridge, which the offscreen platform has not.)
    void StaticIsReadByAssistiveTechnology()
    {
        QWidget window;
        CTransStatic mnemonic(QStringLiteral("&Status && more&"), SS_LEFT, &window);
        CTransStatic status(QString(), SS_LEFT | SS_NOPREFIX, &window);
        status.setText(QStringLiteral("Conversion Failed - /out/a&b.mp4"));
        QCOMPARE(QAccessible::queryAccessibleInterface(&mnemonic)->role(), QAccessible::StaticText);
        QCOMPARE(QAccessible::queryAccessibleInterface(&mnemonic)->text(QAccessible::Name),
                 QStringLiteral("Status & more"));
        QCOMPARE(QAccessible::queryAccessibleInterface(&status)->text(QAccessible::Name),
                 QStringLiteral("Conversion Failed - /out/a&b.mp4"));
    }
};

QTEST_MAIN(TransControlTest)
#include "TransControlTest.moc"
