#pragma once
#include <string>

#include <QLocalServer>
#include <QObject>
#include <QString>

// One Tavolin per user and data folder. The first start listens on a local socket; a
// later start connects, asks the first to show its window and ends. A socket left behind
// by a crashed run answers nobody and is replaced.
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

    Outcome Claim(int timeoutMs = 3000);

    const QString& ServerName() const { return m_serverName; }

signals:
    // A second start asked this instance to restore, raise and show its window.
    void activationRequested();

private:
    bool AskRunningInstance(int timeoutMs);
    void OnNewConnection();

    QString m_serverName;
    QLocalServer m_server;
};
