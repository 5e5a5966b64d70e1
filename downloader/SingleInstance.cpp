#include "downloader/SingleInstance.h"

#include <unistd.h>

#include <memory>
#include <utility>

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
const QByteArray kOpenRequest = "open ";
// More than any command line can hold: a peer sending longer lines is cut off.
constexpr qint64 kMaxLine = 1 << 20;

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

SingleInstance::Outcome SingleInstance::Claim(int timeoutMs, const QStringList& addresses)
{
    // Two starts at the same moment would both find nobody listening; the lock makes
    // one of them wait until the other listens. A lock left by a dead process is stale
    // and taken over.
    QLockFile lock(m_serverName + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(timeoutMs);

    if (AskRunningInstance(timeoutMs, addresses))
        return Outcome::Answered;

    // Nobody answers: whatever socket file is there is left over from a crash.
    QLocalServer::removeServer(m_serverName);
    const bool listening = m_server.listen(m_serverName);
    if (locked)
        lock.unlock();
    return listening ? Outcome::Listening : Outcome::Alone;
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
