// The real message boxes and the real desktop shell. The file manager is a stand-in
// service on the private message bus that CTest runs this test on (PELLUX_PRIVATE_BUS);
// the desktop's opener is a stand-in script found first on PATH.
#include <memory>

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

// Takes the message boxes' place for as long as it lives.
class BoxRecorder : public MessageBoxes {
public:
    BoxRecorder() { MessageBoxes::Install(this); }
    ~BoxRecorder() override { MessageBoxes::Install(nullptr); }
    void Exclaim(QWidget*, const QString& caption, const QString& text) override
    {
        m_boxes << caption + " | " + text;
    }
    QStringList m_boxes;
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
        // Exits with the status that the file "status" beside it holds, 0 without one.
        script.write(("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + m_log +
                      "'\nexit $(cat \"$(dirname \"$0\")/status\" 2>/dev/null || echo 0)\n")
                         .toUtf8());
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", (m_root.path() + "/bin:" + qgetenv("PATH")).toUtf8());
    }

    void init()
    {
        QFile::remove(m_log);
        QFile::remove(m_root.path() + "/bin/status");
    }

    void OpenerFails(int status)
    {
        QFile file(m_root.path() + "/bin/status");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(status)) > 0);
    }

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
        DesktopShell::Current().ShowInFolder(m_root.path() + "/out/My Clip #1.mp4", nullptr);
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
        BoxRecorder boxes;
        DesktopShell::Current().ShowInFolder(m_root.path() + "/out/clip.mp4", nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(Opened(), QStringList{m_root.path() + "/out"}, 10000);
        QTest::qWait(200);
        QVERIFY(boxes.m_boxes.isEmpty());
    }

    void FolderNothingCanOpenIsToldUnlessItsWindowIsGone()
    {
        BoxRecorder boxes;
        const QString folder = m_root.path() + "/out";
        OpenerFails(4);
        auto owner = std::make_unique<QWidget>();
        DesktopShell::Current().OpenFolder(folder, owner.get());
        QTRY_COMPARE_WITH_TIMEOUT(boxes.m_boxes.size(), 1, 10000);
        QCOMPARE(boxes.m_boxes.front(),
                 "Tavolin | Can not open the folder \"" + folder + "\": no file manager answered.");

        // The window closed while the opener ran: nobody is left to tell.
        DesktopShell::Current().OpenFolder(folder, owner.get());
        owner.reset();
        QTRY_COMPARE_WITH_TIMEOUT(Opened().size(), 2, 10000);
        QTest::qWait(300);
        QCOMPARE(boxes.m_boxes.size(), 1);
    }

    void OpenersAndProgramsGetTheirArgumentsWhole()
    {
        const QString folder = m_root.path() + "/a folder; with $(signs) & 'quotes'";
        DesktopShell::Current().OpenFolder(folder, nullptr);
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
