// The task table model under RowView calls, the main window's pure decisions, and the
// painted skin at chosen pixels.
#include <algorithm>
#include <filesystem>

#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "WindowTestSupport.h"
#include "downloader/MainBackground.h"
#include "downloader/MainWindowRules.h"
#include "downloader/TaskTableModel.h"

namespace {

struct Call {
    char kind;  // 'i' insert, 'd' delete, 's' set
    int row;
    int column;
    const char* text;
};

}  // namespace

Q_DECLARE_METATYPE(std::vector<Call>)

namespace {

QStringList Rows(const TaskTableModel& model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.data(model.index(row, column)).toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QColor Rgb(int r, int g, int b)
{
    return QColor(r, g, b);
}

}  // namespace

class MainWindowRulesTest : public QObject {
    Q_OBJECT

private slots:
    void modelFollowsRowViewCalls_data()
    {
        QTest::addColumn<std::vector<Call>>("calls");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("appends keep order") << std::vector<Call>{{'i', 0, 0, "a"}, {'i', 1, 0, "b"}}
                                            << QStringList{"a||||", "b||||"};
        QTest::newRow("insert in the middle")
            << std::vector<Call>{{'i', 0, 0, "a"}, {'i', 1, 0, "b"}, {'i', 1, 0, "c"}}
            << QStringList{"a||||", "c||||", "b||||"};
        QTest::newRow("cells land in their column")
            << std::vector<Call>{{'i', 0, 0, "a"}, {'s', 0, 1, "-"}, {'s', 0, 2, "Waiting"},
                                 {'s', 0, 3, "0:0:0"}, {'s', 0, 4, "MP4"}}
            << QStringList{"a|-|Waiting|0:0:0|MP4"};
        QTest::newRow("delete moves later rows up")
            << std::vector<Call>{{'i', 0, 0, "a"}, {'i', 1, 0, "b"}, {'i', 2, 0, "c"}, {'s', 2, 2, "Done"},
                                 {'d', 0, 0, ""}}
            << QStringList{"b||||", "c||Done||"};
        QTest::newRow("calls outside the table change nothing")
            << std::vector<Call>{{'i', 0, 0, "a"}, {'i', 5, 0, "x"}, {'i', -1, 0, "y"}, {'d', 1, 0, ""},
                                 {'d', -1, 0, ""}, {'s', 1, 0, "z"}, {'s', 0, 5, "z"}, {'s', 0, -1, "z"}}
            << QStringList{"a||||"};
    }

    void modelFollowsRowViewCalls()
    {
        QFETCH(std::vector<Call>, calls);
        QFETCH(QStringList, rows);
        TaskTableModel model;
        RowView& view = model;
        for (const Call& call : calls) {
            if (call.kind == 'i')
                view.InsertRow(call.row, call.text);
            else if (call.kind == 'd')
                view.DeleteRow(call.row);
            else
                view.SetCellText(call.row, call.column, call.text);
        }
        QCOMPARE(Rows(model), rows);
        QCOMPARE(model.columnCount(), 5);
    }

    void modelAnnouncesChangesToTheView()
    {
        TaskTableModel model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.InsertRow(0, "a");
        model.InsertRow(0, "b");
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 0);

        model.SetCellText(1, 2, "12.00%");
        model.SetCellText(1, 2, "12.00%");  // unchanged: no repaint
        model.SetCellText(1, 2, "12.50%");
        QCOMPARE(changed.size(), 2);
        const QModelIndex cell = changed.at(1).at(0).value<QModelIndex>();
        QCOMPARE(cell.row(), 1);
        QCOMPARE(cell.column(), 2);

        model.DeleteRow(0);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("12.50%"));
    }

    void columnsHaveTheirHeadingsAlignmentsAndWidths()
    {
        struct Expected {
            const char* heading;
            Qt::Alignment horizontal;
            int width;
        };
        const Expected expected[] = {{"Name", Qt::AlignLeft, 120},
                                     {"Size", Qt::AlignHCenter, 60},
                                     {"Status", Qt::AlignLeft, 135},
                                     {"Time Elapsed", Qt::AlignHCenter, 80},
                                     {"Target", Qt::AlignLeft, 230}};
        TaskTableModel model;
        model.InsertRow(0, "a");
        for (int column = 0; column < 5; ++column) {
            const Expected& want = expected[column];
            QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), QString::fromLatin1(want.heading));
            const auto cellAlignment =
                Qt::Alignment(model.data(model.index(0, column), Qt::TextAlignmentRole).toInt());
            QCOMPARE(cellAlignment & Qt::AlignHorizontal_Mask, want.horizontal);
            QCOMPARE(TaskTableModel::Columns()[static_cast<std::size_t>(column)].width, want.width);
        }
        QVERIFY(!model.headerData(5, Qt::Horizontal).isValid());
    }

    void rawRoleKeepsBytesThatAreNotText()
    {
        TaskTableModel model;
        const std::string name = "caf\xe9 \xff.flv";  // Latin-1 bytes, not UTF-8
        model.InsertRow(0, name);
        QCOMPARE(model.data(model.index(0, 0), TaskTableModel::RawTextRole).toByteArray().toStdString(), name);
        QCOMPARE(model.CellText(0, 0), name);
    }

    void anythingAtAPathCounts()
    {
        QTemporaryDir folder;
        const std::filesystem::path root = folder.path().toStdString();
        WriteText(root / "file", "x");
        std::filesystem::create_directory(root / "dir");
        std::filesystem::create_symlink(root / "nowhere", root / "dangling");
        QVERIFY(mainwnd::AnythingAt((root / "file").string()));
        QVERIFY(mainwnd::AnythingAt((root / "dir").string()));
        QVERIFY(mainwnd::AnythingAt((root / "dangling").string()));
        QVERIFY(!mainwnd::AnythingAt((root / "missing").string()));
    }

    void toolbarIconsHoldBothSizes()
    {
        const QString folder = QStringLiteral(TAVOLIN_SOURCE_DIR "/downloader/icons/");
        QCOMPARE(mainwnd::ToolbarIcons().size(), std::size_t{6});
        for (const mainwnd::ToolbarIcon& icon : mainwnd::ToolbarIcons()) {
            const QString path = folder + QLatin1String(icon.file);
            QImageReader reader(path);
            QList<int> sides;
            for (int i = 0; i < reader.imageCount(); ++i) {
                QVERIFY(reader.jumpToImage(i));
                sides << reader.read().width();
            }
            std::sort(sides.begin(), sides.end());
            QCOMPARE(sides, (QList<int>{icon.normalSize, icon.hoverSize}));
            for (const int size : {icon.normalSize, icon.hoverSize}) {
                const QImage image = mainwnd::LoadIconImage(path, size).toImage();
                QCOMPARE(image.size(), QSize(size, size));
                QVERIFY2(image.pixelColor(size / 2, size / 2).alpha() > 0, icon.file);  // something is drawn
            }
        }
    }

    void iconLoadingScalesOrGivesNothing()
    {
        QTemporaryDir folder;
        const QString single = folder.filePath(QStringLiteral("single.png"));
        QImage image(64, 64, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(single));
        QCOMPARE(mainwnd::LoadIconImage(single, 37).size(), QSize(37, 37));
        QVERIFY(mainwnd::LoadIconImage(folder.filePath(QStringLiteral("missing.ico")), 37).isNull());
        const QString garbage = folder.filePath(QStringLiteral("garbage.ico"));
        WriteText(garbage.toStdString(), "not an icon");
        QVERIFY(mainwnd::LoadIconImage(garbage, 37).isNull());
    }

    void backgroundPixels()
    {
        const QSize size(600, 400);
        QPixmap icon(32, 32);
        icon.fill(Qt::red);
        const QImage image = mainwnd::PaintMainBackground(size, 1.0, icon);
        QCOMPARE(image.size(), size);
        struct Pixel {
            int x;
            int y;
            QColor colour;
        };
        const Pixel pixels[] = {
            {50, 1, Rgb(198, 198, 198)},    // header: (156 - 198) * 1 / 50 truncates to 0
            {40, 25, Rgb(177, 177, 177)},   // header row 25, left of the title line
            {300, 49, Rgb(157, 157, 157)},  // last header row stays one step short
            {45, 25, Rgb(137, 136, 166)},   // the title line starts 45 in
            {300, 25, Rgb(137, 136, 166)},
            {584, 25, Rgb(137, 136, 166)},  // and reaches 15 short of the right edge
            {300, 50, Rgb(255, 255, 255)},  // white body
            {300, 200, Rgb(255, 255, 255)},
            {300, 360, Rgb(207, 207, 207)},  // footer, the last 40 rows
            {300, 398, Rgb(192, 192, 192)},  // (191 - 207) * 38 / 40 truncates to -15
            {300, 0, Rgb(0, 0, 0)},          // the frame on all four sides
            {0, 200, Rgb(0, 0, 0)},
            {599, 200, Rgb(0, 0, 0)},
            {300, 399, Rgb(0, 0, 0)},
            {0, 0, Rgb(198, 198, 198)},  // outside the rounded corner
            {5, 7, Rgb(255, 0, 0)},      // the icon at (5, 7), 32 x 32
            {36, 38, Rgb(255, 0, 0)},
        };
        for (const Pixel& pixel : pixels)
            QVERIFY2(image.pixelColor(pixel.x, pixel.y) == pixel.colour,
                     qPrintable(QStringLiteral("(%1, %2) is %3, not %4")
                                    .arg(pixel.x)
                                    .arg(pixel.y)
                                    .arg(image.pixelColor(pixel.x, pixel.y).name(), pixel.colour.name())));
        QVERIFY(image.pixelColor(37, 39) != Rgb(255, 0, 0));
        QVERIFY(image.pixelColor(4, 20) != Rgb(255, 0, 0));
    }

    void windowShapeCutsTheCorners()
    {
        const QRegion shape = mainwnd::RoundedWindowShape(QSize(600, 400));
        for (const QPoint inside : {QPoint(300, 0), QPoint(0, 200), QPoint(599, 200), QPoint(300, 399), QPoint(7, 7),
                                    QPoint(592, 392)})
            QVERIFY2(shape.contains(inside), qPrintable(QStringLiteral("%1,%2").arg(inside.x()).arg(inside.y())));
        for (const QPoint outside : {QPoint(0, 0), QPoint(1, 1), QPoint(599, 0), QPoint(0, 399), QPoint(599, 399),
                                     QPoint(600, 200)})
            QVERIFY2(!shape.contains(outside), qPrintable(QStringLiteral("%1,%2").arg(outside.x()).arg(outside.y())));
    }
};

static RegisterWindowTest g_register([] { return new MainWindowRulesTest; });

#include "MainWindowRulesTest.moc"
