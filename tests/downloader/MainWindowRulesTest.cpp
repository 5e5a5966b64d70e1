// The task table model under RowView calls, the main window's pure decisions, and the
// painted skin at chosen pixels.
#include <filesystem>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "WindowTestSupport.h"
#include "downloader/MainBackground.h"
#include "downloader/MainWindowRules.h"
#include "downloader/TaskTableModel.h"

class MainWindowRulesTest : public QObject {
    Q_OBJECT

    static QString Rows(const TaskTableModel& model)
    {
        QStringList rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model.columnCount(); ++column)
                cells << model.data(model.index(row, column)).toString();
            rows << cells.join(QLatin1Char('|'));
        }
        return rows.join(QStringLiteral(" / "));
    }

private slots:
    void modelFollowsRowViewCallsAndAnnouncesThem()
    {
        TaskTableModel model;
        RowView& view = model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        for (const char* name : {"a", "b", "d"})
            view.InsertRow(model.rowCount(), name);
        view.InsertRow(1, "c");  // in the middle
        view.SetCellText(1, 1, "-");
        view.SetCellText(1, 4, "MP4");
        view.SetCellText(2, 2, "12.00%");
        view.SetCellText(2, 2, "12.00%");  // unchanged: no repaint
        view.DeleteRow(0);                 // later rows move up
        QCOMPARE(Rows(model), QStringLiteral("c|-|||MP4 / b||12.00%|| / d||||"));
        QCOMPARE(inserted.size(), 4);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(changed.size(), 3);
        const QModelIndex cell = changed.at(2).at(0).value<QModelIndex>();
        QCOMPARE(QPoint(cell.column(), cell.row()), QPoint(2, 2));

        // Calls outside the table change nothing.
        for (const int row : {-1, 5}) {
            view.InsertRow(row, "x");
            view.DeleteRow(row);
            view.SetCellText(row, 0, "x");
            view.SetCellText(0, row, "x");
        }
        QCOMPARE(Rows(model), QStringLiteral("c|-|||MP4 / b||12.00%|| / d||||"));
        QCOMPARE(inserted.size() + removed.size() + changed.size(), 8);

        // A batch goes in where it is put, announced once.
        view.InsertRows(1, {RowTexts{"e", "-", "Task Stopped", "-", "AVI"}, RowTexts{"f"}});
        view.InsertRows(6, {RowTexts{"x"}});
        QCOMPARE(Rows(model),
                 QStringLiteral("c|-|||MP4 / e|-|Task Stopped|-|AVI / f|||| / b||12.00%|| / d||||"));
        QCOMPARE(inserted.size(), 5);
        QCOMPARE(inserted.last().at(1).toInt(), 1);
        QCOMPARE(inserted.last().at(2).toInt(), 2);

        const std::string name = "caf\xe9 \xff.flv";  // Latin-1 bytes, not UTF-8
        view.SetCellText(0, 0, name);
        QCOMPARE(model.data(model.index(0, 0), TaskTableModel::RawTextRole).toByteArray().toStdString(),
                 name);
        QCOMPARE(model.CellText(0, 0), name);
    }

    void closingAndTogglingKeepTheWindowReachable()
    {
        QVERIFY(ActionForClose(true) == CloseAction::Hide);
        QVERIFY(ActionForClose(false) == CloseAction::Minimise);        // no tray to come back from
        QVERIFY(ActionForToggle(true, true) == ToggleAction::Restore);  // minimised counts as hidden
        QVERIFY(ActionForToggle(true, false) == ToggleAction::Hide);
    }

    void backgroundAndShapeAtChosenPixels()
    {
        QPixmap icon(32, 32);
        icon.fill(Qt::red);
        const QImage image = PaintMainBackground(QSize(600, 400), 1.0, QIcon(icon));
        const struct {
            int x, y;
            QRgb rgb;
        } pixels[] = {
            {300, 49, qRgb(157, 157, 157)},   // last header row stays one step short
            {45, 25, qRgb(137, 136, 166)},    // the title line runs from 45 in
            {300, 200, qRgb(255, 255, 255)},  // white body
            {300, 398, qRgb(192, 192, 192)},  // footer: (191 - 207) * 38 / 40 truncates to -15
            {599, 200, qRgb(0, 0, 0)},        // the frame
            {0, 0, qRgb(198, 198, 198)},      // outside the rounded corner
            {5, 7, qRgb(255, 0, 0)},          // the icon at (5, 7), 32 x 32
            {37, 39, qRgb(166, 166, 166)},    // and not beyond it
        };
        for (const auto& pixel : pixels) {
            const auto at = QStringLiteral("(%1, %2) %3").arg(pixel.x).arg(pixel.y);
            QCOMPARE(at.arg(image.pixel(pixel.x, pixel.y), 0, 16), at.arg(pixel.rgb, 0, 16));
        }

        const QRegion shape = RoundedWindowShape(QSize(600, 400));
        QVERIFY(shape.contains(QPoint(300, 0)) && shape.contains(QPoint(7, 7)) &&
                shape.contains(QPoint(592, 392)));
        QVERIFY(!shape.contains(QPoint(1, 1)) && !shape.contains(QPoint(599, 0)) &&
                !shape.contains(QPoint(0, 399)));
    }
};

static RegisterTest g_register([] { return new MainWindowRulesTest; });

#include "MainWindowRulesTest.moc"
#include "platform/FileSystem.h"
