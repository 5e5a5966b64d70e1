// The real desktop shell. The file manager is a stand-in service on the private message
// bus that CTest runs this test on (TAVOLIN_PRIVATE_BUS); the desktop's opener is a
// stand-in script found first on PATH.
#include <memory>

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "desktop/DesktopShell.h"
#include "desktop/FileNames.h"
#include "support/BoxRecorder.h"

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) { shown << uris << startupId; }

public:
    QStringList shown;
};

class DesktopShellTest : public QObject {
    Q_OBJECT

    // Never the user's own bus: without the private one, the file manager is not asked.
    const bool m_bus = qEnvironmentVariableIsSet("TAVOLIN_PRIVATE_BUS");
    QTemporaryDir m_root;
    QString m_log;

    QString Path(QAnyStringView name) const { return m_root.path() + u'/' + name.toString(); }
    // The address the desktop gets for a path: file:// and the path, any byte but the
    // unreserved ones percent-encoded.
    QString Uri(QAnyStringView name) const
    {
        return QStringLiteral("file://") +
               QString::fromLatin1(QFile::encodeName(Path(name)).toPercentEncoding("/"));
    }

    // The stand-in opener's log, as the bytes it was given.
    QByteArray OpenedBytes() const
    {
        QFile file(m_log);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // What the stand-in opener was given, one argument a line.
    QStringList Opened() const { return QString::fromUtf8(OpenedBytes()).split(u'\n', Qt::SkipEmptyParts); }

    // True once every program this test started has ended and been reaped.
    static bool ChildrenGone()
    {
        const QDir tasks(QStringLiteral("/proc/self/task"));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks.filePath(task + QStringLiteral("/children")));
            if (children.open(QIODevice::ReadOnly) && !children.readAll().trimmed().isEmpty())
                return false;
        }
        return true;
    }

    void OpenerFails(int status)
    {
        QFile file(Path("bin/status"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(status)) > 0);
    }

private slots:
    // An opener deletes itself once its end is seen; one left running at exit would
    // count as leaked, and its end could reach the next test.
    void cleanup()
    {
        QTRY_VERIFY_WITH_TIMEOUT(ChildrenGone(), 10000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void initTestCase()
    {
        m_log = Path("opened.txt");
        QVERIFY(QDir().mkpath(Path("bin")));
        QFile script(Path("bin/xdg-open"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        // Exits with the status that the file "status" beside it holds, 0 without one.
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                     QFile::encodeName(m_log) +
                     "'\nexit $(cat \"$(dirname \"$0\")/status\" 2>/dev/null || echo 0)\n");
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", QFile::encodeName(Path("bin")) + ':' + qgetenv("PATH"));
    }

    void init()
    {
        QFile::remove(m_log);
        QFile::remove(Path("bin/status"));
    }

    void ShowInFolderAsksTheFileManager()
    {
        if (!m_bus)
            QSKIP("no private message bus");
        QDBusConnection manager = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("fm"));
        FakeFileManager fake;
        QVERIFY(manager.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fake,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(manager.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        // A name that is not UTF-8 reaches the file manager byte for byte.
        DesktopShell::Current().ShowInFolder(FromFileName(ToFileName(Path("out")) + "/caf\xe9 #1.flv"),
                                             nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(
            fake.shown, QStringList({Uri("out") + QStringLiteral("/caf%E9%20%231.flv"), QString()}), 10000);
        QTest::qWait(100);
        QVERIFY(Opened().isEmpty());  // the file manager answered: no folder opened
        QDBusConnection::disconnectFromBus(QStringLiteral("fm"));
    }

    void ShowInFolderFallsBackToTheFolderAndTellsWhenThatFailsToo()
    {
        if (!m_bus)
            QSKIP("no private message bus");
        // Nobody owns the file manager's name on this bus, and nothing can be started for it.
        BoxRecorder boxes;
        DesktopShell::Current().ShowInFolder(Path("out/clip.mp4"), nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(Opened(), QStringList{Uri("out")}, 10000);
        QTest::qWait(200);
        QVERIFY(boxes.m_boxes.isEmpty());
        OpenerFails(3);
        DesktopShell::Current().ShowInFolder(Path("out/clip #1.mp4"), nullptr);
        QVERIFY(boxes.m_boxes.isEmpty());  // told once events flow, never inside the call
        QTRY_COMPARE_WITH_TIMEOUT(
            boxes.m_boxes,
            QStringList{QStringLiteral("Tavolin | Can not show \"") + Path("out/clip #1.mp4") +
                        QStringLiteral("\": no file manager answered.")},
            10000);
    }

    void FolderNothingCanOpenIsToldUnlessItsWindowIsGone()
    {
        BoxRecorder boxes;
        const QString folder = Path("out");
        OpenerFails(4);
        auto owner = std::make_unique<QWidget>();
        DesktopShell::Current().OpenFolder(folder, owner.get());
        QTRY_COMPARE_WITH_TIMEOUT(boxes.m_boxes.size(), 1, 10000);
        QCOMPARE(boxes.m_boxes.front(), QStringLiteral("Tavolin | Can not open the folder \"") + folder +
                                            QStringLiteral("\": no file manager answered."));

        // The window closed while the opener ran: nobody is left to tell.
        DesktopShell::Current().OpenFolder(folder, owner.get());
        owner.reset();
        QTRY_COMPARE_WITH_TIMEOUT(Opened().size(), 2, 10000);
        QTest::qWait(300);
        QCOMPARE(boxes.m_boxes.size(), 1);
    }

    void OpenersAndProgramsGetTheirArgumentsWhole()
    {
        const QString folder = Path("a folder; with $(signs) & 'quotes'");
        DesktopShell::Current().OpenFolder(folder, nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(Opened(), QStringList{Uri("a folder; with $(signs) & 'quotes'")}, 10000);
        // No shell in between: every argument arrives as it was given, a name that is
        // not UTF-8 byte for byte.
        QFile::remove(m_log);
        const std::string latin1 = "/v/caf\xe9 \"b\" $HOME.flv";
        const QStringList arguments = {QStringLiteral("-source"), FromFileName(latin1)};
        QVERIFY(DesktopShell::Current().StartProgram(Path("bin/xdg-open"), arguments));
        QTRY_COMPARE_WITH_TIMEOUT(OpenedBytes(),
                                  QByteArray("-source\n") + QByteArray::fromStdString(latin1) + '\n', 10000);
        QVERIFY(!DesktopShell::Current().StartProgram(Path("bin/no-such-program"), {}));
    }
};

QTEST_MAIN(DesktopShellTest)
#include "DesktopShellTest.moc"
