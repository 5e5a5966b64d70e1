// The real message boxes and the real desktop shell. The file manager is a stand-in
// service on the private message bus that CTest runs this test on (PELLUX_PRIVATE_BUS);
// the desktop's opener is a stand-in script found first on PATH.
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "skin/DesktopShell.h"
#include "skin/MessageBoxes.h"

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) { shown << uris << startupId; }

public:
    QStringList shown;
};

class DesktopPiecesTest : public QObject {
    Q_OBJECT

    // Never the user's own bus: without the private one, the file manager is not asked.
    const bool m_bBus = qEnvironmentVariableIsSet("PELLUX_PRIVATE_BUS");
    QTemporaryDir m_root;
    QString m_log;

    // What the stand-in opener was given, one argument a line.
    QStringList Opened() const
    {
        QFile file(m_log);
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

private slots:
    void initTestCase()
    {
        m_log = m_root.path() + "/opened.txt";
        QVERIFY(QDir().mkpath(m_root.path() + "/bin"));
        QFile script(m_root.path() + "/bin/xdg-open");
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(
            ("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + m_log + "'\n").toUtf8());
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", (m_root.path() + "/bin:" + qgetenv("PATH")).toUtf8());
    }

    void init() { QFile::remove(m_log); }

    void MessageBoxesShowAWarningWithOneButton()
    {
        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            box->accept();
            seen << box->windowTitle() << box->text();
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(box->textFormat(), Qt::PlainText);  // a path holding '<' is no markup
        });
        MessageBoxes::Current().Exclaim(nullptr, "Information", "Folder <b>x</b> & more");
        QCOMPARE(seen, (QStringList{"Information", "Folder <b>x</b> & more"}));
    }

    void ShowInFolderAsksTheFileManager()
    {
        if (!m_bBus)
            QSKIP("no private message bus");
        QDBusConnection manager =
            QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "fm");
        FakeFileManager fake;
        QVERIFY(
            manager.registerObject("/org/freedesktop/FileManager1", &fake, QDBusConnection::ExportAllSlots));
        QVERIFY(manager.registerService("org.freedesktop.FileManager1"));
        DesktopShell::Current().ShowInFolder(m_root.path() + "/out/My Clip #1.mp4");
        const QString uri = "file://" + m_root.path() + "/out/My%20Clip%20%231.mp4";
        QTRY_COMPARE_WITH_TIMEOUT(fake.shown, QStringList({uri, ""}), 10000);
        QTest::qWait(100);
        QVERIFY(Opened().isEmpty());  // the file manager answered: no folder opened
        QDBusConnection::disconnectFromBus("fm");
    }

    void ShowInFolderFallsBackToTheFolder()
    {
        if (!m_bBus)
            QSKIP("no private message bus");
        // Nobody owns the file manager's name on this bus, and nothing can be started for it.
        DesktopShell::Current().ShowInFolder(m_root.path() + "/out/clip.mp4");
        QTRY_COMPARE_WITH_TIMEOUT(Opened(), QStringList{m_root.path() + "/out"}, 10000);
    }

    void OpenersAndProgramsGetTheirArgumentsWhole()
    {
        const QString folder = m_root.path() + "/a folder; with $(signs) & 'quotes'";
        DesktopShell::Current().OpenFolder(folder);
        QTRY_COMPARE_WITH_TIMEOUT(Opened(), QStringList{folder}, 10000);
        // No shell in between: every argument arrives as it was given.
        QFile::remove(m_log);
        const QStringList arguments = {"-source", "/v/a \"b\" $HOME.flv"};
        QVERIFY(DesktopShell::Current().StartProgram(m_root.path() + "/bin/xdg-open", arguments));
        QTRY_COMPARE_WITH_TIMEOUT(Opened(), arguments, 10000);
        QVERIFY(!DesktopShell::Current().StartProgram(m_root.path() + "/bin/no-such-program", {}));
    }
};

QTEST_MAIN(DesktopPiecesTest)
#include "DesktopPiecesTest.moc"
