#include <QtTest>

#include <climits>

#include "skin/DialogUnits.h"

class DialogUnitsTest : public QObject {
    Q_OBJECT

private slots:
    void MulDivRoundsHalvesAwayAndFailsWithMinusOne()
    {
        QCOMPARE(skin::MulDiv(3, 6, 4), 5);                      // half rounds up
        QCOMPARE(skin::MulDiv(297, 13, 8), 483);                 // below half rounds down
        QCOMPARE(skin::MulDiv(-3, 6, 4), -5);                    // negative half rounds away
        QCOMPARE(skin::MulDiv(INT_MAX, 4, 8), INT_MAX / 2 + 1);  // no overflow in between
        QCOMPARE(skin::MulDiv(INT_MAX, 2, 1), -1);               // result too large
        QCOMPARE(skin::MulDiv(5, 6, 0), -1);
    }

    void ToPixels()
    {
        // Position and size are each rounded on their own.
        const skin::DialogUnits units(6, 13);
        QCOMPARE(units.ToPixels(9, 35, 42, 39), QRect(14, 57, 63, 63));
        QCOMPARE(units.ToPixels(QRect(55, 35, 42, 39)), QRect(83, 57, 63, 63));
    }
};

QTEST_MAIN(DialogUnitsTest)
#include "DialogUnitsTest.moc"
