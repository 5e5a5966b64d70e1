#include <QPainter>
#include <QtTest>

#include "skin/GradientFill.h"

class GradientFillTest : public QObject {
    Q_OBJECT

private slots:
    void FillVariants()
    {
        const QColor outside(255, 0, 255);
        auto fill = [&](const QRect& rect, skin::GradientBands bands) {
            QImage image(20, 12, QImage::Format_RGB32);
            image.fill(outside);
            QPainter painter(&image);
            skin::FillGradient(painter, rect, QColor(0, 0, 0), QColor(60, 120, 180), bands);
            return image;
        };
        auto step = [](int i) { return QColor(10 * i, 20 * i, 30 * i); };

        // Rows 1..6 of a six-row rectangle carry steps 0..5 in both vertical variants.
        const QImage thin = fill(QRect(2, 1, 10, 6), skin::GradientBands::Thin);
        const QImage tall = fill(QRect(2, 1, 10, 6), skin::GradientBands::Tall);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(thin.pixelColor(2, 1 + i), step(i));
            QCOMPARE(tall.pixelColor(11, 1 + i), step(i));
        }
        QCOMPARE(thin.pixelColor(2, 7), outside);
        QCOMPARE(tall.pixelColor(2, 7), step(5));  // the last band spills one row below
        QCOMPARE(tall.pixelColor(2, 8), outside);

        const QImage columns = fill(QRect(2, 1, 6, 4), skin::GradientBands::Columns);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(columns.pixelColor(2 + i, 4), step(i));
        QCOMPARE(columns.pixelColor(8, 1), step(5));  // one column spills to the right
        QCOMPARE(columns.pixelColor(9, 1), outside);

        QCOMPARE(fill(QRect(3, 3, 10, 0), skin::GradientBands::Tall).pixelColor(3, 3), outside);
        QCOMPARE(fill(QRect(3, 3, 0, 5), skin::GradientBands::Columns).pixelColor(3, 3), outside);
    }
};

QTEST_MAIN(GradientFillTest)
#include "GradientFillTest.moc"
