#include "app/single_instance.h"

#include "resources/product.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>

#if defined(Q_OS_UNIX)
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#else
#include <QLocalServer>
#include <QLocalSocket>
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

#if defined(Q_OS_UNIX)
// Clients may hold this many connections open at once, each with a line of this many
// bytes at most; beyond that the oldest connection, or the one with the overlong line,
// is dropped.
constexpr size_t MaxConnections = 16;
constexpr qsizetype MaxLineBytes = 4096;

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// False when the path is empty or too long for a socket address.
bool socketAddress(const QString &path, sockaddr_un *address)
{
    const QByteArray encoded = QFile::encodeName(path);
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (encoded.isEmpty() || size_t(encoded.size()) >= sizeof(address->sun_path))
        return false;
    std::memcpy(address->sun_path, encoded.constData(), size_t(encoded.size()));
    return true;
}
#endif

}  // namespace

#if defined(Q_OS_UNIX)
// Listens on a Unix stream socket from the event loop and reads each connection's
// lines as they come, never waiting on a client.
class SingleInstance::Listener
{
public:
    explicit Listener(SingleInstance *owner) : m_owner(owner) {}

    ~Listener()
    {
        for (auto &entry : m_connections)
            delete entry.second.notifier;
        if (m_notifier) {
            m_notifier.reset();
            ::unlink(QFile::encodeName(m_path).constData());
        }
    }

    bool listen(const QString &path, QString *error)
    {
        sockaddr_un address;
        if (!socketAddress(path, &address)) {
            *error = qt_error_string(ENAMETOOLONG);
            return false;
        }
        ::unlink(address.sun_path);
        Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            *error = qt_error_string(errno);
            return false;
        }
        if (::listen(fd.get(), SOMAXCONN) != 0) {
            *error = qt_error_string(errno);
            ::unlink(address.sun_path);
            return false;
        }
        m_fd = std::move(fd);
        m_path = path;
        m_notifier = std::make_unique<QSocketNotifier>(m_fd.get(), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_owner, [this] { accept(); });
        return true;
    }

private:
    struct Connection
    {
        Descriptor fd;
        QSocketNotifier *notifier;  // a child of the owner
        QByteArray pending;         // the start of a line whose end has not come yet
    };

    void accept()
    {
        for (;;) {
            Descriptor fd(::accept4(m_fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (fd.get() < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return;
            }
            if (m_connections.size() >= MaxConnections)
                drop(m_connections.begin()->first);
            const quint64 id = m_nextId++;
            auto *notifier = new QSocketNotifier(fd.get(), QSocketNotifier::Read, m_owner);
            QObject::connect(notifier, &QSocketNotifier::activated, m_owner, [this, id] { read(id); });
            m_connections.emplace(id, Connection{std::move(fd), notifier, QByteArray()});
        }
    }

    // One read per wake-up, so a client that keeps writing cannot hold the event loop.
    void read(quint64 id)
    {
        const auto found = m_connections.find(id);
        if (found == m_connections.end())
            return;
        Connection &connection = found->second;
        char buffer[1024];
        const ssize_t got = ::read(connection.fd.get(), buffer, sizeof buffer);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (got <= 0) {
            drop(id);  // the client closed, or the connection failed; an unended line is ignored
            return;
        }
        connection.pending.append(buffer, got);
        QList<QByteArray> lines;
        for (qsizetype end; (end = connection.pending.indexOf('\n')) >= 0;) {
            lines.append(connection.pending.left(end).trimmed());
            connection.pending.remove(0, end + 1);
        }
        if (connection.pending.size() > MaxLineBytes)
            drop(id);
        // Last: what the signals start may run an event loop that reads this connection again.
        for (const QByteArray &line : lines)
            m_owner->handleLine(line);
    }

    // The notifier may be the one whose signal runs now, so it goes later.
    void drop(quint64 id)
    {
        const auto found = m_connections.find(id);
        found->second.notifier->setEnabled(false);
        found->second.notifier->deleteLater();
        m_connections.erase(found);
    }

    SingleInstance *m_owner;
    QString m_path;
    Descriptor m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::map<quint64, Connection> m_connections;  // oldest first
    quint64 m_nextId = 0;
};
#else
class SingleInstance::Listener
{
public:
    explicit Listener(SingleInstance *owner) : m_owner(owner)
    {
        QObject::connect(&m_server, &QLocalServer::newConnection, owner, [this] { accept(); });
    }

    bool listen(const QString &name, QString *error)
    {
        QLocalServer::removeServer(name);
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        if (m_server.listen(name))
            return true;
        *error = m_server.errorString();
        return false;
    }

private:
    void accept()
    {
        while (QLocalSocket *socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, m_owner, [this, socket] { read(socket); });
            read(socket);
        }
    }

    void read(QLocalSocket *socket)
    {
        while (socket->canReadLine())
            m_owner->handleLine(socket->readLine().trimmed());
    }

    SingleInstance *m_owner;
    QLocalServer m_server;
};
#endif

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

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
#if defined(Q_OS_UNIX)
    sockaddr_un address;
    if (!socketAddress(serverName, &address))
        return false;
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // Bounds both the wait for room in a busy instance's queue of connections and the write.
    const timeval timeout{ConnectTimeoutMs / 1000, (ConnectTimeoutMs % 1000) * 1000};
    if (fd.get() < 0 || ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0 ||
        ::connect(fd.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return false;
    const QByteArray line = message + '\n';
    for (qsizetype sent = 0; sent < line.size();) {
        const ssize_t written = ::send(fd.get(), line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        sent += written;
    }
    return true;
#else
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
#endif
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
    // The lock is ours, so a socket of that name is a crashed instance's leftover, and
    // listening removes it first.
    // On Unix the socket lies in a folder nobody else may enter; giving it a mode of
    // its own as well would cost a temporary folder, a rename and a removal at every start.
    m_listener = std::make_unique<Listener>(this);
    QString error;
    if (!m_listener->listen(primary, &error))
        qWarning("Orvanto: cannot listen on %s: %s", qPrintable(primary), qPrintable(error));
    return true;
}

void SingleInstance::handleLine(const QByteArray &line)
{
    if (line == RaiseMessage)
        emit raiseRequested();
    else if (line == SaveProfileMessage)
        emit saveProfileRequested();
}
