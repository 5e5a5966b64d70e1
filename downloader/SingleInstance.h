#pragma once
#include <string>

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

// One Tavolin per user and data folder. The first start listens on a local socket; a
// later start connects, hands over the addresses it was given, asks the first to show
// its window and ends. A socket left behind by a crashed run answers nobody and is
// replaced. One line per request: "open <address, percent-encoded>" for each address,
// then "show"; a run that knows only "show" skips the other lines. The instance holds a
// lock file until its process ends; once its exit has begun it stops listening, and a
// start in those seconds waits for it to end, then becomes the instance itself.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Listening,  // this process is the one instance
        Answered,   // another instance runs and was asked to show itself
        Alone,      // no other instance, but listening failed: run without the guard
    };

    // `serverName` is the socket's path (see InstanceServerName).
    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket name for this user, marker and data folder.
    static QString ServerNameFor(const QString& marker, const std::string& dataFolder);

    // `addresses` go to the running instance, when there is one. An instance that is
    // ending is waited for at most `endingWaitMs`; after that this start runs beside it.
    Outcome Claim(int timeoutMs = 3000, const QStringList& addresses = {}, int endingWaitMs = 20000);

    // The exit has begun: later starts no longer ask this run to show itself.
    void StopListening();

    const QString& ServerName() const { return m_serverName; }

signals:
    // A second start asked this instance to restore, raise and show its window.
    void activationRequested();
    // A later start handed these over, in its command line's order; emitted before
    // activationRequested.
    void addressesReceived(const QStringList& addresses);

private:
    bool AskRunningInstance(int timeoutMs, const QStringList& addresses);
    void OnNewConnection();

    QString m_serverName;
    QLocalServer m_server;
    QLockFile m_lock;
};
