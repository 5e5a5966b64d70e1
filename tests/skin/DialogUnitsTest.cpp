#include <QtTest>

#include <climits>

#include "skin/DialogUnits.h"

class DialogUnitsTest : public QObject {
    Q_OBJECT

private slots:
    void MulDiv_data();
    void MulDiv();
    void ToPixels();
};

void DialogUnitsTest::MulDiv_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");
    QTest::newRow("half rounds up") << 3 << 6 << 4 << 5;
    QTest::newRow("below half rounds down") << 297 << 13 << 8 << 483;
    QTest::newRow("negative half rounds away") << -3 << 6 << 4 << -5;
    QTest::newRow("negative divisor") << 3 << 6 << -4 << -5;
    QTest::newRow("no overflow in between") << INT_MAX << 4 << 8 << INT_MAX / 2 + 1;
    QTest::newRow("result too large") << INT_MAX << 2 << 1 << -1;
    QTest::newRow("divide by zero") << 5 << 6 << 0 << -1;
}

void DialogUnitsTest::MulDiv()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(skin::MulDiv(a, b, c), expected);
}

void DialogUnitsTest::ToPixels()
{
    // Position and size are each rounded on their own.
    const skin::DialogUnits units(6, 13);
    QCOMPARE(units.ToPixels(9, 35, 42, 39), QRect(14, 57, 63, 63));
    QCOMPARE(units.ToPixels(QRect(55, 35, 42, 39)), QRect(83, 57, 63, 63));

    // The application's measure: its font at 8 pt, the rounded mean width of the alphabet.
    const QFont dialogFont = skin::DialogUnits::DialogFont();
    QCOMPARE(dialogFont.pointSize(), 8);
    const skin::DialogUnits measured = skin::DialogUnits::ForApplication();
    const QFontMetrics metrics(dialogFont);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    QVERIFY(measured.BaseX() > 0);
    QVERIFY(std::abs(measured.BaseX() * 52 - alphabet) <= 26);
    QCOMPARE(measured.BaseY(), metrics.height());
    QFont big = dialogFont;
    big.setPointSize(16);
    QVERIFY(skin::DialogUnits::FromFont(big).BaseX() > measured.BaseX());
}

QTEST_MAIN(DialogUnitsTest)
#include "DialogUnitsTest.moc"
