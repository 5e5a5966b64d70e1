#include <QPainter>
#include <QtTest>

#include "skin/GradientFill.h"
#include "skin/GradientRule.h"

using skin::Rgb;

Q_DECLARE_METATYPE(Rgb)

class GradientTest : public QObject {
    Q_OBJECT

private slots:
    void Steps_data();
    void Steps();
    void FillVariants();
};

void GradientTest::Steps_data()
{
    QTest::addColumn<Rgb>("from");
    QTest::addColumn<Rgb>("to");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("index");
    QTest::addColumn<Rgb>("expected");

    const Rgb white{255, 255, 255};
    const Rgb dialogEnd{225, 223, 218};
    QTest::newRow("first row is the start") << white << dialogEnd << 10 << 0 << white;
    // -32 * 1 / 10 and -37 * 9 / 10 truncate toward zero, not down.
    QTest::newRow("falling truncates toward zero") << white << dialogEnd << 10 << 1 << Rgb{252, 252, 252};
    QTest::newRow("last row one short of the end") << white << dialogEnd << 10 << 9 << Rgb{228, 227, 222};
    QTest::newRow("rising") << Rgb{0, 0, 0} << Rgb{10, 20, 30} << 4 << 3 << Rgb{7, 15, 22};
    QTest::newRow("one row only") << Rgb{1, 2, 3} << Rgb{200, 200, 200} << 1 << 0 << Rgb{1, 2, 3};
    QTest::newRow("flat") << Rgb{9, 9, 9} << Rgb{9, 9, 9} << 7 << 6 << Rgb{9, 9, 9};
    QTest::newRow("tall window") << Rgb{0, 255, 0} << Rgb{255, 0, 255} << 1000 << 999 << Rgb{254, 1, 254};
}

void GradientTest::Steps()
{
    QFETCH(Rgb, from);
    QFETCH(Rgb, to);
    QFETCH(int, n);
    QFETCH(int, index);
    QFETCH(Rgb, expected);
    const std::vector<Rgb> steps = skin::GradientSteps(from, to, n);
    QCOMPARE(static_cast<int>(steps.size()), n);
    const Rgb got = steps[static_cast<std::size_t>(index)];
    QVERIFY2(got == expected, qPrintable(QString("got %1,%2,%3").arg(got.r).arg(got.g).arg(got.b)));

    QVERIFY(skin::GradientSteps(from, to, 0).empty());
    QVERIFY(skin::GradientSteps(from, to, -3).empty());
}

void GradientTest::FillVariants()
{
    const QColor outside(255, 0, 255);
    const QColor from(0, 0, 0);
    const QColor to(60, 120, 180);
    auto fill = [&](const QRect& rect, skin::GradientBands bands) {
        QImage image(20, 12, QImage::Format_RGB32);
        image.fill(outside);
        QPainter painter(&image);
        skin::FillGradient(painter, rect, from, to, bands);
        return image;
    };
    auto step = [](int i) { return QColor(10 * i, 20 * i, 30 * i); };

    // Rows 1..6 of a six-row rectangle carry steps 0..5 in both vertical variants.
    const QRect rows(2, 1, 10, 6);
    const QImage thin = fill(rows, skin::GradientBands::Thin);
    const QImage tall = fill(rows, skin::GradientBands::Tall);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(thin.pixelColor(2, 1 + i), step(i));
        QCOMPARE(tall.pixelColor(11, 1 + i), step(i));
    }
    QCOMPARE(thin.pixelColor(2, 7), outside);
    QCOMPARE(tall.pixelColor(2, 7), step(5));  // the last band spills one row below
    QCOMPARE(tall.pixelColor(2, 8), outside);
    QCOMPARE(tall.pixelColor(12, 3), outside);

    const QImage columns = fill(QRect(2, 1, 6, 4), skin::GradientBands::Columns);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(columns.pixelColor(2 + i, 4), step(i));
    QCOMPARE(columns.pixelColor(8, 1), step(5));  // one column spills to the right
    QCOMPARE(columns.pixelColor(9, 1), outside);
    QCOMPARE(columns.pixelColor(4, 5), outside);

    QCOMPARE(fill(QRect(3, 3, 10, 0), skin::GradientBands::Tall).pixelColor(3, 3), outside);
    QCOMPARE(fill(QRect(3, 3, 0, 5), skin::GradientBands::Columns).pixelColor(3, 3), outside);
}

QTEST_MAIN(GradientTest)
#include "GradientTest.moc"
