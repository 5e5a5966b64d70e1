#include <utility>

#include <QPushButton>
#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/CConfirmDeleteDlg.h"
#include "skin/CTransRadio.h"

class ConfirmDeleteDlgTest : public QObject {
    Q_OBJECT

private slots:
    void thePairStaysTiedAndEnterReportsIt()
    {
        CConfirmDeleteDlg dlg;
        dlg.show();
        auto* only = dlg.findChild<CTransRadio*>(QStringLiteral("deleteTaskOnly"));
        auto* files = dlg.findChild<CTransRadio*>(QStringLiteral("deleteTaskAndFiles"));
        QCOMPARE(std::pair(only->m_nCheck, files->m_nCheck), std::pair(1, 0));
        // A click on the ticked one would clear it on its own; the pair is set again.
        for (CTransRadio* radio : {files, files, only, only, files}) {
            radio->click();
            QCOMPARE(std::pair(only->m_nCheck, files->m_nCheck),
                     radio == only ? std::pair(1, 0) : std::pair(0, 1));
        }
        QTest::keyClick(&dlg, Qt::Key_Return);  // OK is the default button
        QVERIFY(dlg.result() == QDialog::Accepted && dlg.m_bDeleteFiles);
    }

    void untouchedIsTasksOnlyAndCancelRejects()
    {
        CConfirmDeleteDlg dlg;
        dlg.show();
        dlg.findChild<QPushButton*>(QStringLiteral("ok"))->click();
        QVERIFY(dlg.result() == QDialog::Accepted && !dlg.m_bDeleteFiles);
        CConfirmDeleteDlg cancelled;
        cancelled.show();
        cancelled.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
        QCOMPARE(cancelled.result(), int(QDialog::Rejected));
    }
};

static RegisterTest registerConfirmDeleteDlgTest([] { return new ConfirmDeleteDlgTest; });

#include "ConfirmDeleteDlgTest.moc"
