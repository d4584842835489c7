#include "app/single_instance.h"

#include "resources/product.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
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

// Each desktop of the user has its own instance.
QString desktopKey()
{
    return qEnvironmentVariable("WAYLAND_DISPLAY") + QLatin1Char('|') + qEnvironmentVariable("DISPLAY");
}

#if defined(Q_OS_UNIX)
// A folder (not a link to one) of the user's that nobody else may enter.
bool isPrivateFolder(const QString &path)
{
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
           && st.st_uid == ::getuid() && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}
#endif

constexpr int ConnectTimeoutMs = 1000;
constexpr int StartingInstanceWaitMs = 5000;

}  // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent), m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::runtimeFolder()
{
#if defined(Q_OS_UNIX)
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        return runtime;
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("orvanto-") + userKey());
    // mkdir fails on anything already there; what is there is then checked as it is.
    ::mkdir(QFile::encodeName(own).constData(), S_IRWXU);
    if (isPrivateFolder(own))
        return own;
    qWarning("Orvanto: neither $XDG_RUNTIME_DIR nor %s is a private folder of this user", qPrintable(own));
    return QString();
#else
    // Local server names are the user's own here; the temporary folder is too.
    return QDir::tempPath();
#endif
}

QString SingleInstance::serverName(const QString &title)
{
    return socketPath(runtimeFolder(), title);
}

QString SingleInstance::socketPath(const QString &folder, const QString &title)
{
    if (folder.isEmpty())
        return QString();
    const QByteArray key = (title + QLatin1Char('\n') + userKey() + QLatin1Char('\n') + desktopKey()).toUtf8();
    const QString name = QStringLiteral("orvanto-") +
                         QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(24));
#if defined(Q_OS_UNIX)
    return QDir(folder).filePath(name);
#else
    return name;
#endif
}

bool SingleInstance::send(const QString &serverName, const QByteArray &message)
{
    if (serverName.isEmpty())
        return false;
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
    const QString folder = runtimeFolder();
    const QString primary = socketPath(folder, QString::fromLatin1(Product::MainWindowTitle));
    const QString versioned = socketPath(folder, QString::fromLatin1(Product::VersionedName));
    if (primary.isEmpty())
        return true;  // nowhere safe to meet another instance: run unguarded
    if (send(primary, RaiseMessage) || send(versioned, RaiseMessage))
        return false;

    // Two starts at the same moment: the lock decides which one runs. A lock left by a
    // crashed instance names a dead process and is taken over.
    m_lock = std::make_unique<QLockFile>(
        QDir(folder).filePath(QFileInfo(primary).fileName() + QStringLiteral(".lock")));
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
#if !defined(Q_OS_UNIX)
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
#endif
    // On Unix the socket lies in a folder nobody else may enter; giving it a mode of
    // its own as well would cost a temporary folder, a rename and a removal at every start.
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
