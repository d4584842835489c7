#pragma once

#include "mail/host_resolver.h"
#include "tests/support/test_files.h"

#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Real mail servers on 127.0.0.1 for the tests: aiosmtpd, dovecot's POP3 and a
// server that misbehaves on purpose. Each listens on a free port and stops with its object.

// Fails the test when CI is set, skips it otherwise, if a server could not start.
#define REQUIRE_SERVER(ok, what)                                                              \
    do {                                                                                      \
        if (!(ok)) {                                                                          \
            if (qEnvironmentVariableIsSet("CI"))                                              \
                QFAIL(qPrintable(QStringLiteral("cannot start ") + (what)));                 \
            QSKIP(qPrintable(QStringLiteral("cannot start ") + (what)));                     \
        }                                                                                     \
    } while (false)

namespace MailTest {

inline constexpr char User[] = "ann";
inline constexpr char Password[] = "secret";

inline int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// A certificate authority of the test run with a server certificate for localhost and
// 127.0.0.1, and a self-signed certificate that no one trusts.
class TestCa
{
public:
    bool create(const QString &folder);
    QString caFile, certFile, keyFile, badCertFile, badKeyFile;
    QString error;
};

class ServerProcess
{
public:
    ~ServerProcess() { stop(); }
    // Ready when the program prints READY or, with a port, when the port accepts.
    bool start(const QString &program, const QStringList &arguments, int port);
    void stop();
    // Everything it printed so far.
    QString output() const;
    int port = 0;
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port); }

private:
    std::unique_ptr<QProcess> m_process;
    mutable QString m_output;
};

class SmtpServer : public ServerProcess
{
public:
    // mode: auth-tls, auth, plain, utf8, tls-only, bad-cert, fault:NAME (see smtp_server.py);
    // with an introspection URL it also takes AUTH XOAUTH2 and checks the token there.
    bool start(const QString &mode, const TestCa *ca = nullptr, const QString &introspectionUrl = {});
    // The stored messages (.eml) in the order they arrived; each has its envelope in a .json.
    QStringList messages() const;
    bool waitForMessages(int count, int timeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return messages().size() >= count; }, timeoutMs);
    }

private:
    QTemporaryDir m_store;
};

class Pop3Server : public ServerProcess
{
public:
    // With an introspection URL it also takes XOAUTH2 (passdb oauth2) for tokens of that server.
    bool start(const TestCa &ca, const QString &introspectionUrl = {});
    // Dovecot's log, with one "Login: user=<...>, method=..." line per login.
    QString log() const { return QString::fromUtf8(TestFiles::read(m_dir.filePath(QStringLiteral("dovecot.log")))); }

private:
    QTemporaryDir m_dir;
};

// The message as Python's email package with policy.strict reads it; "error" is set
// when it could not be read without a defect.
QJsonObject checkMessage(const QString &emlPath);

// A name service for the tests: the names it knows stand for 127.0.0.1, every other
// name is unknown. With `publicNetwork` every address counts as outside the local network.
class LoopbackResolver : public HostResolver
{
public:
    explicit LoopbackResolver(QSet<QString> names, bool publicNetwork = false)
        : m_names(std::move(names)), m_public(publicNetwork) {}
    Resolution resolve(const QString &host) const override
    {
        return m_names.contains(host) ? Resolution{{IpAddress::parse(QStringLiteral("127.0.0.1"))}, {}}
                                      : Resolution{{}, QStringLiteral("Host not found")};
    }
    bool isLocalNetwork(const IpAddress &address) const override
    {
        return !m_public && HostResolver::isLocalNetwork(address);
    }

private:
    QSet<QString> m_names;
    bool m_public;
};

}  // namespace MailTest
