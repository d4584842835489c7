#include "tests/support/mail/mail_servers.h"

#include "tests/support/test_files.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QTest>

namespace MailTest {

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

namespace {

// Debian's interpreter sees Debian's aiosmtpd; another python3 on PATH may not.
const char Python[] = "/usr/bin/python3";
const char SupportDir[] = ORVANTO_SOURCE_DIR "/tests/support/mail/";

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

}  // namespace

bool TestCa::create(const QString &folder)
{
    const auto at = [&folder](const char *name) { return QDir(folder).filePath(QLatin1String(name)); };
    const QString caKey = at("ca.key"), csr = at("server.csr"), ext = at("server.ext");
    caFile = at("ca.pem"), certFile = at("server.pem"), keyFile = at("server.key");
    badCertFile = at("bad.pem"), badKeyFile = at("bad.key");
    // The mail providers' names too: tests reach them on 127.0.0.1 through a LoopbackResolver.
    if (!TestFiles::write(ext, "subjectAltName=DNS:localhost,IP:127.0.0.1,DNS:pop.gmail.com,DNS:smtp.gmail.com,"
                               "DNS:outlook.office365.com,DNS:smtp.office365.com\nbasicConstraints=CA:FALSE\n"))
        return false;
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

bool ServerProcess::start(const QString &program, const QStringList &arguments, int port)
{
    stop();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(program, arguments);
    // Ready when it says so or, with a port, when the port accepts (dovecot says nothing).
    const auto readyOrGone = [&] {
        m_output += QString::fromLocal8Bit(m_process->readAll());
        QTcpSocket probe;
        if (port)
            probe.connectToHost(QHostAddress::LocalHost, quint16(port));
        return m_process->state() != QProcess::Running || m_output.contains(QStringLiteral("READY"))
               || (port && probe.waitForConnected(200));
    };
    return m_process->waitForStarted(5000) && QTest::qWaitFor(readyOrGone, 15000)
           && m_process->state() == QProcess::Running;
}

QString ServerProcess::output() const
{
    if (m_process)
        m_output += QString::fromLocal8Bit(m_process->readAll());
    return m_output;
}

void ServerProcess::stop()
{
    if (!m_process)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000))
        m_process->kill();
    m_process->waitForFinished(2000);
    m_output += QString::fromLocal8Bit(m_process->readAll());
    m_process.reset();
}

bool SmtpServer::start(const QString &mode, const TestCa *ca, const QString &introspectionUrl)
{
    port = freePort();
    // bad-cert: the usual server presenting the certificate no one trusts.
    const bool bad = mode == QLatin1String("bad-cert");
    QStringList args{QLatin1String(SupportDir) + QStringLiteral("smtp_server.py"), QStringLiteral("--port"),
                     QString::number(port), QStringLiteral("--mode"), bad ? QStringLiteral("auth-tls") : mode,
                     QStringLiteral("--store"), m_store.path(), QStringLiteral("--user"), QString::fromLatin1(User),
                     QStringLiteral("--password"), QString::fromLatin1(Password)};
    if (ca)
        args << QStringLiteral("--cert") << (bad ? ca->badCertFile : ca->certFile) << QStringLiteral("--key")
             << (bad ? ca->badKeyFile : ca->keyFile);
    if (!introspectionUrl.isEmpty())
        args << QStringLiteral("--introspect") << introspectionUrl;
    return port && m_process.start(QLatin1String(Python), args, 0);
}

QStringList SmtpServer::messages() const
{
    // The server numbers the messages from 1 in the order they arrived.
    QStringList paths;
    for (QString path; QFile::exists(path = m_store.filePath(QStringLiteral("msg-%1.eml").arg(paths.size() + 1)));)
        paths << path;
    return paths;
}

bool SmtpServer::waitForMessages(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return messages().size() >= count; }, timeoutMs);
}

bool Pop3Server::start(const TestCa &ca, const QString &introspectionUrl)
{
    port = freePort();
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
    if (!TestFiles::write(dir.filePath(QStringLiteral("passwd")), QByteArray(User) + ":{PLAIN}" + Password + "::::::\n"))
        return false;
    // Tokens are checked by the authorization server's introspection (as client "mail").
    QString oauth;
    if (!introspectionUrl.isEmpty()) {
        QUrl url(introspectionUrl);
        url.setUserInfo(QStringLiteral("mail:mailsecret"));
        if (!TestFiles::write(dir.filePath(QStringLiteral("oauth2.conf.ext")),
                              "introspection_mode = post\nintrospection_url = " + url.toEncoded()
                                  + "\nusername_attribute = username\nactive_attribute = active\n"
                                    "active_value = true\n"))
            return false;
        oauth = QStringLiteral("passdb {\n  driver = oauth2\n  mechanisms = xoauth2\n  args = %1/oauth2.conf.ext\n}\n")
                    .arg(m_dir.path());
    }
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
        "auth_mechanisms = plain login%5\n"
        "auth_failure_delay = 0\n"
        "mail_location = maildir:%1/home/%u/Maildir\n"
        "passdb {\n  driver = passwd-file\n  mechanisms = plain login\n  args = scheme=PLAIN username_format=%u %1/passwd\n}\n%6"
        "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=%1/home/%u\n}\n"
        "service pop3-login {\n  chroot =\n"
        "  inet_listener pop3 {\n    port = %2\n  }\n  inet_listener pop3s {\n    port = 0\n  }\n}\n"
        "service anvil {\n  chroot =\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n"
        "service imap-login {\n  inet_listener imap {\n    port = 0\n  }\n  inet_listener imaps {\n    port = 0\n  }\n}\n")
        .arg(m_dir.path()).arg(port).arg(ca.certFile, ca.keyFile)
        .arg(introspectionUrl.isEmpty() ? QString() : QStringLiteral(" xoauth2"), oauth);
    const QString confFile = dir.filePath(QStringLiteral("dovecot.conf"));
    return port && TestFiles::write(confFile, conf.toUtf8())
           && m_process.start(QStringLiteral("dovecot"), {QStringLiteral("-F"), QStringLiteral("-c"), confFile}, port);
}

QString Pop3Server::log() const
{
    return QString::fromUtf8(TestFiles::read(QDir(m_dir.path()).filePath(QStringLiteral("dovecot.log"))));
}

QJsonObject checkMessage(const QString &emlPath)
{
    QProcess p;
    p.start(QLatin1String(Python), {QLatin1String(SupportDir) + QStringLiteral("check_message.py"), emlPath});
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

}  // namespace MailTest
