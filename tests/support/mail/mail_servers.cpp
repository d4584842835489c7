#include "tests/support/mail/mail_servers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

namespace MailTest {

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString python()
{
    // Debian's interpreter sees Debian's aiosmtpd; another python3 on PATH may not.
    return QStringLiteral("/usr/bin/python3");
}

QString supportDir()
{
    return QStringLiteral(ORVANTO_SOURCE_DIR "/tests/support/mail");
}

namespace {

bool run(const QString &program, const QStringList &args, QString *error)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = program + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

bool portAccepts(int port)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, quint16(port));
    return s.waitForConnected(200);
}

}  // namespace

bool TestCa::create(const QString &folder)
{
    QDir dir(folder);
    caFile = dir.filePath(QStringLiteral("ca.pem"));
    const QString caKey = dir.filePath(QStringLiteral("ca.key"));
    certFile = dir.filePath(QStringLiteral("server.pem"));
    keyFile = dir.filePath(QStringLiteral("server.key"));
    badCertFile = dir.filePath(QStringLiteral("bad.pem"));
    badKeyFile = dir.filePath(QStringLiteral("bad.key"));
    const QString csr = dir.filePath(QStringLiteral("server.csr"));
    const QString ext = dir.filePath(QStringLiteral("server.ext"));
    QFile extFile(ext);
    if (!extFile.open(QIODevice::WriteOnly))
        return false;
    extFile.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n");
    extFile.close();
    const QString openssl = QStringLiteral("openssl");
    return run(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-keyout", caKey,
                         "-out", caFile, "-subj", "/CN=Orvanto Test CA"}, &error)
           && run(openssl, {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", keyFile, "-out", csr,
                            "-subj", "/CN=localhost"}, &error)
           && run(openssl, {"x509", "-req", "-in", csr, "-CA", caFile, "-CAkey", caKey, "-CAcreateserial",
                            "-days", "30", "-out", certFile, "-extfile", ext}, &error)
           && run(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-keyout",
                            badKeyFile, "-out", badCertFile, "-subj", "/CN=localhost", "-addext",
                            "subjectAltName=DNS:localhost,IP:127.0.0.1"}, &error);
}

bool ServerProcess::start(const QString &program, const QStringList &arguments, int port, int timeoutMs)
{
    stop();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(5000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        m_process->waitForReadyRead(100);
        m_output += QString::fromLocal8Bit(m_process->readAll());
        if (m_process->state() != QProcess::Running)
            return false;
        if (m_output.contains(QStringLiteral("READY")) || (port && portAccepts(port)))
            return true;
    }
    return false;
}

void ServerProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    m_output += QString::fromLocal8Bit(m_process->readAll());
    m_process.reset();
}

bool SmtpServer::start(const QString &mode, const TestCa *ca)
{
    port = freePort();
    QStringList args{supportDir() + QStringLiteral("/smtp_server.py"), QStringLiteral("--port"),
                     QString::number(port), QStringLiteral("--mode"), mode, QStringLiteral("--store"),
                     m_store.path(), QStringLiteral("--user"), QString::fromLatin1(User),
                     QStringLiteral("--password"), QString::fromLatin1(Password)};
    if (ca) {
        const bool bad = mode == QLatin1String("bad-cert");
        args << QStringLiteral("--cert") << (bad ? ca->badCertFile : ca->certFile) << QStringLiteral("--key")
             << (bad ? ca->badKeyFile : ca->keyFile);
        if (bad)
            args[4] = QStringLiteral("auth-tls");
    }
    return port && m_process.start(python(), args, 0);
}

QStringList SmtpServer::messages() const
{
    QDir dir(m_store.path());
    QStringList names = dir.entryList({QStringLiteral("msg-*.eml")}, QDir::Files);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.mid(4).section(QLatin1Char('.'), 0, 0).toInt() < b.mid(4).section(QLatin1Char('.'), 0, 0).toInt();
    });
    QStringList paths;
    for (const QString &n : names)
        paths << dir.filePath(n);
    return paths;
}

bool SmtpServer::waitForMessages(int count, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    while (messages().size() < count && clock.elapsed() < timeoutMs)
        QTest::qWait(50);
    return messages().size() >= count;
}

bool Pop3Server::start(const TestCa &ca)
{
    port = freePort();
    tlsPort = freePort();
    const QDir dir(m_dir.path());
    // The mail user runs unprivileged and must reach its folders.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                            | QFileDevice::ReadOther | QFileDevice::ExeOther
                                            | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    dir.mkpath(QStringLiteral("run"));
    dir.mkpath(QStringLiteral("state"));
    dir.mkpath(QStringLiteral("home/ann/Maildir"));
    QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("65534:65534"),
                                                dir.filePath(QStringLiteral("home"))});
    QFile passwd(dir.filePath(QStringLiteral("passwd")));
    if (!passwd.open(QIODevice::WriteOnly))
        return false;
    passwd.write(QStringLiteral("%1:{PLAIN}%2::::::\n").arg(User, Password).toUtf8());
    passwd.close();
    const QString conf = QStringLiteral(
        "base_dir = %1/run\n"
        "state_dir = %1/state\n"
        "instance_name = orvanto-pop3-%2\n"
        "protocols = pop3\n"
        "listen = 127.0.0.1\n"
        "log_path = %1/dovecot.log\n"
        "ssl = yes\n"
        "ssl_cert = <%3\n"
        "ssl_key = <%4\n"
        "disable_plaintext_auth = no\n"
        "auth_mechanisms = plain login\n"
        "auth_failure_delay = 0\n"
        "mail_location = maildir:%1/home/%u/Maildir\n"
        "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u %1/passwd\n}\n"
        "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=%1/home/%u\n}\n"
        "service pop3-login {\n  chroot =\n"
        "  inet_listener pop3 {\n    port = %2\n  }\n"
        "  inet_listener pop3s {\n    port = %5\n    ssl = yes\n  }\n}\n"
        "service anvil {\n  chroot =\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n"
        "service imap-login {\n  inet_listener imap {\n    port = 0\n  }\n  inet_listener imaps {\n    port = 0\n  }\n}\n")
        .arg(m_dir.path()).arg(port).arg(ca.certFile, ca.keyFile).arg(tlsPort);
    QFile confFile(dir.filePath(QStringLiteral("dovecot.conf")));
    if (!confFile.open(QIODevice::WriteOnly))
        return false;
    confFile.write(conf.toUtf8());
    confFile.close();
    return port && tlsPort
           && m_process.start(QStringLiteral("dovecot"), {QStringLiteral("-F"), QStringLiteral("-c"), confFile.fileName()},
                              port);
}

QJsonObject checkMessage(const QString &emlPath)
{
    QProcess p;
    p.start(python(), {supportDir() + QStringLiteral("/check_message.py"), emlPath});
    p.waitForFinished(30000);
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput());
    if (!doc.isObject())
        return QJsonObject{{QStringLiteral("error"), QString::fromLocal8Bit(p.readAllStandardError())}};
    return doc.object();
}

Resolution LoopbackResolver::resolve(const QString &host) const
{
    Resolution r;
    if (m_names.contains(host))
        r.addresses << QHostAddress(QHostAddress::LocalHost);
    else
        r.error = QStringLiteral("Host not found");
    return r;
}

bool LoopbackResolver::isLocalNetwork(const QHostAddress &address) const
{
    return !m_public && HostResolver::isLocalNetwork(address);
}

}  // namespace MailTest
