#include <QtTest>

#include "skin/GradientRule.h"

using skin::Rgb;

class GradientRuleTest : public QObject {
    Q_OBJECT

private slots:
    void Steps()
    {
        const Rgb white{255, 255, 255};
        const Rgb dialogEnd{225, 223, 218};
        const struct {
            Rgb from, to;
            int n, index;
            Rgb expected;
        } cases[] = {
            {white, dialogEnd, 10, 1, {252, 252, 252}},  // -32 * 1 / 10 truncates toward zero, not down
            {white, dialogEnd, 10, 9, {228, 227, 222}},  // the last row stays one short of the end
            {{0, 0, 0}, {10, 20, 30}, 4, 3, {7, 15, 22}},
            {{0, 255, 0}, {255, 0, 255}, 1000, 999, {254, 1, 254}},
        };
        for (const auto& c : cases) {
            const std::vector<Rgb> steps = skin::GradientSteps(c.from, c.to, c.n);
            QCOMPARE(static_cast<int>(steps.size()), c.n);
            const Rgb got = steps[static_cast<std::size_t>(c.index)];
            QVERIFY2(
                got == c.expected,
                qPrintable(QStringLiteral("%1: got %2,%3,%4").arg(c.n).arg(got.r).arg(got.g).arg(got.b)));
        }
        QVERIFY(skin::GradientSteps(white, dialogEnd, 0).empty() &&
                skin::GradientSteps(white, dialogEnd, -3).empty());
    }
};

QTEST_MAIN(GradientRuleTest)
#include "GradientRuleTest.moc"
