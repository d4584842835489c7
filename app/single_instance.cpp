#include "app/single_instance.h"

#include "resources/product.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace {

QString userKey()
{
#if defined(Q_OS_UNIX)
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

constexpr int ConnectTimeoutMs = 1000;
constexpr int StartingInstanceWaitMs = 5000;

}  // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent), m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString &title)
{
    const QByteArray key = (title + QLatin1Char('\n') + userKey()).toUtf8();
    return QStringLiteral("orvanto-") +
           QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(24));
}

bool SingleInstance::send(const QString &serverName, const QByteArray &message)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return false;
    socket.write(message + '\n');
    const bool written = socket.waitForBytesWritten(ConnectTimeoutMs);
    socket.disconnectFromServer();
    return written;
}

bool SingleInstance::claim()
{
    const QString primary = serverName(QString::fromLatin1(Product::MainWindowTitle));
    const QString versioned = serverName(QString::fromLatin1(Product::VersionedName));
    if (send(primary, RaiseMessage) || send(versioned, RaiseMessage))
        return false;

    // Two starts at the same moment: the lock decides which one runs. A lock left by a
    // crashed instance names a dead process and is taken over.
    m_lock = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(primary + QStringLiteral(".lock")));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        for (int waited = 0; waited < StartingInstanceWaitMs; waited += 100) {
            if (send(primary, RaiseMessage))
                break;
            QThread::msleep(100);
        }
        return false;
    }
    // The lock is ours, so a socket of that name is a crashed instance's leftover.
    QLocalServer::removeServer(primary);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(primary))
        qWarning("Orvanto: cannot listen on %s: %s", qPrintable(primary), qPrintable(m_server->errorString()));
    return true;
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessages(socket); });
        readMessages(socket);
    }
}

void SingleInstance::readMessages(QLocalSocket *socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine().trimmed();
        if (line == RaiseMessage)
            emit raiseRequested();
        else if (line == SaveProfileMessage)
            emit saveProfileRequested();
    }
}
