#include "downloader/SingleInstance.h"

#include <unistd.h>

#include <memory>
#include <utility>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

#include "downloader/MainWindowRules.h"

namespace {

const QByteArray kShowRequest = "show\n";
const QByteArray kShowAnswer = "ok\n";
const QByteArray kOpenRequest = "open ";
// More than any command line can hold: a peer sending longer lines is cut off.
constexpr qint64 kMaxLine = 1 << 20;

}  // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName)), m_lock(m_serverName + QStringLiteral(".lock"))
{
    // Held for the whole run; a lock whose process is gone is stale and taken over.
    m_lock.setStaleLockTime(0);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
}

void SingleInstance::StopListening()
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

SingleInstance::Outcome SingleInstance::Claim(int timeoutMs, const QStringList& addresses, int endingWaitMs)
{
    // Whoever holds the lock is the instance. A running one answers at once; one that is
    // ending has stopped listening but holds the lock until its process ends, so a start
    // then waits, and the run that follows loads the list the ending one saved. Two starts
    // at the same moment meet here too: the one that loses finds the winner listening.
    const QDeadlineTimer ending(endingWaitMs);
    for (;;) {
        if (AskRunningInstance(timeoutMs, addresses))
            return Outcome::Answered;
        if (m_lock.tryLock(100) || ending.hasExpired())
            break;
    }
    // Nobody answers: whatever socket file is there is left over from a crash, or from an
    // instance that hangs in its exit.
    QLocalServer::removeServer(m_serverName);
    return m_server.listen(m_serverName) ? Outcome::Listening : Outcome::Alone;
}

bool SingleInstance::AskRunningInstance(int timeoutMs, const QStringList& addresses)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // An instance that accepts the connection is alive even if it is too busy to answer
    // in time; starting a second one beside it would be worse than not being shown.
    for (const QString& address : addresses)
        socket.write(kOpenRequest + address.toUtf8().toPercentEncoding() + '\n');
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
        // The addresses of one connection wait for its "show", so a start that died
        // halfway hands over nothing.
        auto addresses = std::make_shared<QStringList>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, addresses] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine();
                if (line.startsWith(kOpenRequest) && line.endsWith('\n')) {
                    *addresses << QString::fromUtf8(
                        QByteArray::fromPercentEncoding(line.mid(kOpenRequest.size()).chopped(1)));
                } else if (line == kShowRequest) {
                    socket->write(kShowAnswer);
                    socket->flush();
                    if (!addresses->isEmpty())
                        emit addressesReceived(std::exchange(*addresses, {}));
                    emit activationRequested();
                }
            }
            if (socket->bytesAvailable() > kMaxLine)
                socket->abort();
        });
    }
}
