#include "tests/support/mail/mail_servers.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTcpSocket>

namespace MailTest {

// Debian's interpreter sees Debian's aiosmtpd; another python3 on PATH may not.
constexpr char Python[] = "/usr/bin/python3";
constexpr char SupportDir[] = ORVANTO_SOURCE_DIR "/tests/support/mail/";

bool TestCa::create(const QString &folder)
{
    const auto at = [&folder](const char *name) { return QDir(folder).filePath(QLatin1String(name)); };
    caFile = at("ca.pem"), certFile = at("server.pem"), keyFile = at("server.key");
    badCertFile = at("bad.pem"), badKeyFile = at("bad.key");
    const QStringList newCertificate{"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-keyout"};
    // The mail providers' names too: tests reach them on 127.0.0.1 through a LoopbackResolver.
    for (const QStringList &args :
         {newCertificate + QStringList{at("ca.key"), "-out", caFile, "-subj", "/CN=Orvanto Test CA"},
          newCertificate + QStringList{keyFile, "-out", certFile, "-subj", "/CN=localhost", "-CA", caFile, "-CAkey",
                                       at("ca.key"), "-addext", "basicConstraints=CA:FALSE", "-addext",
                                       "subjectAltName=DNS:localhost,IP:127.0.0.1,DNS:pop.gmail.com,DNS:smtp.gmail.com,"
                                       "DNS:outlook.office365.com,DNS:smtp.office365.com"},
          newCertificate + QStringList{badKeyFile, "-out", badCertFile, "-subj", "/CN=localhost", "-addext",
                                       "subjectAltName=DNS:localhost,IP:127.0.0.1"}}) {
        QProcess p;
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            error = QStringLiteral("openssl: ") + QString::fromLocal8Bit(p.readAllStandardError());
            return false;
        }
    }
    return true;
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
    QStringList args{QLatin1String(SupportDir) + "smtp_server.py", "--port", QString::number(port), "--mode",
                     bad ? QStringLiteral("auth-tls") : mode, "--store", m_store.path(), "--user",
                     QString::fromLatin1(User), "--password", QString::fromLatin1(Password)};
    if (ca)
        args << "--cert" << (bad ? ca->badCertFile : ca->certFile) << "--key" << (bad ? ca->badKeyFile : ca->keyFile);
    if (!introspectionUrl.isEmpty())
        args << "--introspect" << introspectionUrl;
    return port && ServerProcess::start(QLatin1String(Python), args, 0);
}

QStringList SmtpServer::messages() const
{
    // The server numbers the messages from 1 in the order they arrived.
    QStringList paths;
    for (QString path; QFile::exists(path = m_store.filePath(QStringLiteral("msg-%1.eml").arg(paths.size() + 1)));)
        paths << path;
    return paths;
}

bool Pop3Server::start(const TestCa &ca, const QString &introspectionUrl)
{
    port = freePort();
    const QDir dir(m_dir.path());
    // The mail user runs unprivileged and must reach its folders: rwx for the owner, rx for others.
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7055));
    for (const char *folder : {"run", "state", "home/ann/Maildir"})
        dir.mkpath(QLatin1String(folder));
    QProcess::execute(QStringLiteral("chown"), {"-R", "65534:65534", dir.filePath(QStringLiteral("home"))});
    // Tokens are checked by the authorization server's introspection (as client "mail").
    QString oauth;
    if (!introspectionUrl.isEmpty()) {
        const QString url = QString(introspectionUrl).replace("http://", "http://mail:mailsecret@");
        if (!TestFiles::write(dir.filePath(QStringLiteral("oauth2.conf.ext")),
                              "introspection_mode = post\nintrospection_url = " + url.toUtf8()
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
        "service anvil {\n  chroot =\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n")
        .arg(m_dir.path()).arg(port).arg(ca.certFile, ca.keyFile)
        .arg(introspectionUrl.isEmpty() ? QString() : QStringLiteral(" xoauth2"), oauth);
    const QString confFile = dir.filePath(QStringLiteral("dovecot.conf"));
    return port && TestFiles::write(dir.filePath("passwd"), QByteArray(User) + ":{PLAIN}" + Password + "::::::\n")
           && TestFiles::write(confFile, conf.toUtf8())
           && ServerProcess::start(QStringLiteral("dovecot"), {"-F", "-c", confFile}, port);
}

QJsonObject checkMessage(const QString &emlPath)
{
    QProcess p;
    p.start(QLatin1String(Python), {QLatin1String(SupportDir) + QStringLiteral("check_message.py"), emlPath});
    p.waitForFinished(30000);
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput());
    return doc.isObject() ? doc.object()
                          : QJsonObject{{QStringLiteral("error"), QString::fromLocal8Bit(p.readAllStandardError())}};
}

}  // namespace MailTest
