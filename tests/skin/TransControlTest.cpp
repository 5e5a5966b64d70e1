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

int LongestRun(const QImage& image, bool (*match)(QColor))
{
    int best = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0, run = 0; x < image.width(); ++x) {
            run = match(image.pixelColor(x, y)) ? run + 1 : 0;
            best = std::max(best, run);
        }
    return best;
}

}  // namespace

using Format = CTransStatic::TextFormat;
Q_DECLARE_METATYPE(Format)

class TransControlTest : public QObject {
    Q_OBJECT

private slots:
    void IndicatorState_data();
    void IndicatorState();
    void DrawsThroughTheStyle();
    void ClickTogglesBeforeOwnerHears();
    void StaticFormat_data();
    void StaticFormat();
    void StaticLooks();
};

void TransControlTest::IndicatorState_data()
{
    QTest::addColumn<int>("check");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("hover");
    QTest::addColumn<int>("expected");
    const int on = QStyle::State_Enabled | QStyle::State_On;
    const int off = QStyle::State_Enabled | QStyle::State_Off;
    QTest::newRow("ticked") << 1 << false << false << on;
    QTest::newRow("ticked hot") << 1 << false << true << (on | QStyle::State_MouseOver);
    QTest::newRow("ticked pressed") << 1 << true << true << (on | QStyle::State_Sunken);
    QTest::newRow("clear hot") << 0 << false << true << (off | QStyle::State_MouseOver);
    QTest::newRow("clear pressed") << 0 << true << false << (off | QStyle::State_Sunken);
    QTest::newRow("only 1 is ticked") << 2 << false << false << off;
}

void TransControlTest::IndicatorState()
{
    QFETCH(int, check);
    QFETCH(bool, pressed);
    QFETCH(bool, hover);
    QFETCH(int, expected);
    QCOMPARE(static_cast<int>(CTransButton::IndicatorState(check, pressed, hover)), expected);
}

void TransControlTest::DrawsThroughTheStyle()
{
    QCOMPARE(CTransButton::IndicatorBox(10), QRect(-1, -2, 16, 15));  // truncated toward zero

    RecordingStyle style;
    CTransCheck check(QStringLiteral("auto rename"), nullptr);
    CTransRadio radio(QStringLiteral("Delete task only"), nullptr);
    for (CTransButton* button : std::initializer_list<CTransButton*>{&check, &radio}) {
        button->setStyle(&style);
        button->resize(120, 20);
        const QImage clear = RenderOver(*button, kUnder);
        QCOMPARE(style.m_element, button == &check ? QStyle::PE_IndicatorCheckBox : QStyle::PE_IndicatorRadioButton);
        QCOMPARE(style.m_rect, QRect(-1, 2, 16, 15));
        QCOMPARE(style.m_state, CTransButton::IndicatorState(0, false, false));
        // Transparent: right of the text and above the box nothing is painted.
        QCOMPARE(clear.pixelColor(119, 10), kUnder);
        QCOMPARE(clear.pixelColor(8, 0), kUnder);
        QVERIFY(CountPixels(clear, IsDark) > 0);

        button->SetCheckState(1);
        Enter(*button);
        const QImage ticked = RenderOver(*button, kUnder);
        QCOMPARE(style.m_state, CTransButton::IndicatorState(1, false, true));
        QVERIFY(ticked.copy(0, 0, 16, 20) != clear.copy(0, 0, 16, 20));
        button->setDown(true);
        RenderOver(*button, kUnder);
        QCOMPARE(style.m_state, CTransButton::IndicatorState(1, true, true));

        button->setDown(false);
        button->SetCheckState(0);
        Leave(*button);
        QCOMPARE(RenderOver(*button, kUnder), clear);
    }
}

void TransControlTest::ClickTogglesBeforeOwnerHears()
{
    CTransCheck check(QStringLiteral("auto rename"), nullptr);
    check.resize(100, 20);
    QList<int> seen;
    connect(&check, &QAbstractButton::clicked, this, [&] { seen << check.m_nCheck; });
    QTest::mouseClick(&check, Qt::LeftButton);
    QTest::mouseClick(&check, Qt::LeftButton);
    check.SetCheckState(7);
    QTest::mouseClick(&check, Qt::LeftButton);
    // A double click toggles twice and reports two clicks.
    QTest::mouseClick(&check, Qt::LeftButton);
    QTest::mouseDClick(&check, Qt::LeftButton);
    QTest::mouseRelease(&check, Qt::LeftButton);
    QCOMPARE(seen, QList<int>({1, 0, 1, 0, 1}));
}

void TransControlTest::StaticFormat_data()
{
    QTest::addColumn<unsigned>("style");
    QTest::addColumn<Format>("expected");
    const int top = Qt::AlignTop | Qt::TextShowMnemonic;
    const int wrap = Qt::TextWordWrap;
    const int line = Qt::AlignVCenter | Qt::TextSingleLine;
    QTest::newRow("plain") << 0u << Format{Qt::AlignLeft | top | wrap};
    QTest::newRow("centre") << SS_CENTER << Format{Qt::AlignHCenter | top | wrap};
    QTest::newRow("right") << SS_RIGHT << Format{Qt::AlignRight | top | wrap};
    QTest::newRow("centre image") << SS_CENTERIMAGE << Format{Qt::AlignLeft | line | Qt::TextShowMnemonic};
    QTest::newRow("no prefix") << SS_NOPREFIX << Format{Qt::AlignLeft | Qt::AlignTop | wrap};
    QTest::newRow("end ellipsis") << SS_ENDELLIPSIS << Format{Qt::AlignLeft | top, Qt::ElideRight};
    QTest::newRow("path ellipsis") << SS_PATHELLIPSIS << Format{Qt::AlignLeft | top, Qt::ElideMiddle};
    QTest::newRow("bit 0x4 stops wrapping") << 0x4u << Format{Qt::AlignLeft | top};
    QTest::newRow("bit 0x8 stops wrapping") << 0x8u << Format{Qt::AlignLeft | top};
    QTest::newRow("centred one line") << (SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX)
                                      << Format{Qt::AlignHCenter | line};
}

void TransControlTest::StaticFormat()
{
    QFETCH(unsigned, style);
    QFETCH(Format, expected);
    const Format got = CTransStatic::FormatForStyle(style);
    QCOMPARE(got.nFlags, expected.nFlags);
    QCOMPARE(got.elide, expected.elide);
}

void TransControlTest::StaticLooks()
{
    CTransStatic label(QStringLiteral("Hello world"), SS_LEFT, nullptr);
    QFont font = label.font();
    font.setPixelSize(20);
    label.setFont(font);
    label.resize(200, 40);
    auto ink = [](const QImage& image) { return CountPixels(image, [](QColor c) { return c != kUnder; }); };
    const int textWidth = QFontMetrics(font).horizontalAdvance(label.text());

    const QImage plain = RenderOver(label, kUnder);
    QVERIFY(CountPixels(plain, IsDark) > 20);
    QVERIFY(LongestRun(plain, IsDark) < textWidth / 2);
    QCOMPARE(plain.pixelColor(0, 0), kUnder);  // never fills its background
    QCOMPARE(plain.pixelColor(199, 39), kUnder);

    label.SetType(1);
    const QImage red = RenderOver(label, kUnder);
    QVERIFY(CountPixels(red, IsRed) > 20 && CountPixels(red, IsDark) == 0);

    label.SetType(2);
    const QImage blue = RenderOver(label, kUnder);
    QVERIFY(CountPixels(blue, IsBlue) > 20);
    QVERIFY2(LongestRun(blue, IsBlue) > textWidth * 8 / 10, "no underline");

    label.SetType(3);
    const QImage bold = RenderOver(label, kUnder);
    QVERIFY(CountPixels(bold, IsDark) > CountPixels(plain, IsDark) * 115 / 100);

    for (int type : {4, -1, 1000}) {
        label.SetType(type);
        QCOMPARE(ink(RenderOver(label, kUnder)), 0);
    }
}

QTEST_MAIN(TransControlTest)
#include "TransControlTest.moc"
