#include "downloader/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include "downloader/MainWindowRules.h"

namespace {

const QByteArray kShowRequest = "show\n";
const QByteArray kShowAnswer = "ok\n";

}  // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
}

QString SingleInstance::ServerNameFor(const QString& marker, const std::string& dataFolder)
{
    // The same folder reached through a link or a trailing '/' is the same instance.
    const QString folder = QFile::decodeName(dataFolder.c_str());
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return InstanceServerName(
        marker, static_cast<unsigned>(::getuid()), canonical.isEmpty() ? QDir::cleanPath(folder) : canonical,
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation), QDir::tempPath());
}

SingleInstance::Outcome SingleInstance::Claim(int timeoutMs)
{
    // Two starts at the same moment would both find nobody listening; the lock makes
    // one of them wait until the other listens. A lock left by a dead process is stale
    // and taken over.
    QLockFile lock(m_serverName + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(timeoutMs);

    if (AskRunningInstance(timeoutMs))
        return Outcome::Answered;

    // Nobody answers: whatever socket file is there is left over from a crash.
    QLocalServer::removeServer(m_serverName);
    const bool listening = m_server.listen(m_serverName);
    if (locked)
        lock.unlock();
    return listening ? Outcome::Listening : Outcome::Alone;
}

bool SingleInstance::AskRunningInstance(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // An instance that accepts the connection is alive even if it is too busy to answer
    // in time; starting a second one beside it would be worse than not being shown.
    socket.write(kShowRequest);
    socket.waitForBytesWritten(timeoutMs);
    while (socket.bytesAvailable() < kShowAnswer.size() && socket.waitForReadyRead(timeoutMs)) {
    }
    return true;
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == kShowRequest) {
                    socket->write(kShowAnswer);
                    socket->flush();
                    emit activationRequested();
                }
            }
        });
    }
}
