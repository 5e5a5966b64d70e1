#include <QPushButton>
#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/CConfirmDeleteDlg.h"
#include "skin/CTransRadio.h"

class ConfirmDeleteDlgTest : public QObject {
    Q_OBJECT

private slots:
    void okReportsTheChosenAnswer_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<bool>("deleteFiles");
        QTest::newRow("untouched") << QStringList{} << false;
        QTest::newRow("second") << QStringList{"deleteTaskAndFiles"} << true;
        QTest::newRow("second then first") << QStringList{"deleteTaskAndFiles", "deleteTaskOnly"} << false;
        // A click on the ticked one would clear it on its own; the pair is set again.
        QTest::newRow("first again") << QStringList{"deleteTaskOnly"} << false;
        QTest::newRow("second twice") << QStringList{"deleteTaskAndFiles", "deleteTaskAndFiles"} << true;
    }
    void okReportsTheChosenAnswer()
    {
        QFETCH(QStringList, clicks);
        QFETCH(bool, deleteFiles);
        CConfirmDeleteDlg dlg;
        dlg.show();
        auto* only = dlg.findChild<CTransRadio*>(QStringLiteral("deleteTaskOnly"));
        auto* withFiles = dlg.findChild<CTransRadio*>(QStringLiteral("deleteTaskAndFiles"));
        QVERIFY(only && withFiles);
        QCOMPARE(only->m_nCheck, 1);
        QCOMPARE(withFiles->m_nCheck, 0);
        for (const QString& name : clicks)
            dlg.findChild<CTransRadio*>(name)->click();
        // Exactly one of the pair is ticked whatever was clicked.
        QCOMPARE(only->m_nCheck + withFiles->m_nCheck, 1);
        QCOMPARE(withFiles->m_nCheck == 1, deleteFiles);

        dlg.findChild<QPushButton*>(QStringLiteral("ok"))->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_bDeleteFiles, deleteFiles);
    }

    void enterIsOkAndCancelCloses()
    {
        {
            CConfirmDeleteDlg dlg;
            dlg.show();
            dlg.findChild<CTransRadio*>(QStringLiteral("deleteTaskAndFiles"))->click();
            QTest::keyClick(&dlg, Qt::Key_Return);
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QVERIFY(dlg.m_bDeleteFiles);
        }
        {
            CConfirmDeleteDlg dlg;
            dlg.show();
            dlg.findChild<CTransRadio*>(QStringLiteral("deleteTaskAndFiles"))->click();
            dlg.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QVERIFY(!dlg.isVisible());
        }
        {
            CConfirmDeleteDlg dlg;
            dlg.show();
            QTest::keyClick(&dlg, Qt::Key_Escape);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
    }

    void backgroundIsTheThinGradient()
    {
        CConfirmDeleteDlg dlg;
        QImage image(dlg.size(), QImage::Format_ARGB32);
        image.fill(Qt::black);
        dlg.render(&image);
        const int h = dlg.height();
        // Row i: 255 + (end - 255) * i / h, truncated toward zero, one colour per row.
        const auto expected = [h](int i) {
            return QColor(255 + (225 - 255) * i / h, 255 + (223 - 255) * i / h, 255 + (218 - 255) * i / h);
        };
        for (int row : {0, 1, h / 2, h - 1})
            QCOMPARE(image.pixelColor(1, row), expected(row));
    }
};

static RegisterDialogTest registerConfirmDeleteDlgTest([] { return new ConfirmDeleteDlgTest; });

#include "ConfirmDeleteDlgTest.moc"
