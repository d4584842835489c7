// The mail control against real servers: its event promises, its login rules and
// the connection it keeps.

#include "mail/cmail.h"
#include "mail/mail_errors.h"
#include "tests/support/mail/mail_servers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace MailTest;

namespace {

struct Events
{
    explicit Events(CMail &mail)
        : done(&mail, &CMail::Done), error(&mail, &CMail::Error), trace(&mail, &CMail::Trace),
          progress(&mail, &CMail::Progress) {}
    QSignalSpy done, error, trace, progress;
    int count() const { return done.count() + error.count(); }
    QStringList traceLines(const QString &containing) const
    {
        QStringList lines;
        for (const auto &t : trace)
            lines << t.at(0).toString();
        return lines.filter(containing);
    }
};

// Waits for n outcome events and an idle control, then a moment more for any extra event.
void settle(const CMail &mail, const Events &e, int n)
{
    QTRY_VERIFY_WITH_TIMEOUT(e.count() >= n && !mail.isBusy(), 20000);
    QTest::qWait(150);
}

// Without a password no login is asked for.
void account(CMail &mail, const QString &host, int protocol = 2, bool password = true)
{
    mail.SetHostName(host);
    mail.SetUserName(QString::fromLatin1(User));
    mail.SetPassword(password ? QString::fromLatin1(Password) : QString());
    mail.SetProtocol(protocol);
    mail.SetAuthenticate(password ? 1 : 0);
    mail.SetTimeout(10);
    mail.SetDebug(1);
}

// Builds a short message with blocking actions, then leaves the control non-blocking.
void message(CMail &mail)
{
    mail.SetBlocking(true);
    mail.SetAction(11);
    mail.SetFrom(QStringLiteral("<ann@example.test>"));
    mail.SetTo(QStringLiteral("bob@example.test"));
    mail.SetSubject(QStringLiteral("hello"));
    mail.SetBodyText(0, QStringLiteral("Hello Bob\r\n"));
    mail.SetBlocking(false);
}

}  // namespace

class TestCMail : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;   // STARTTLS and AUTH
    SmtpServer m_plain;  // neither
    Pop3Server m_pop3;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        REQUIRE_SERVER(m_ca.create(m_dir.path()), QStringLiteral("test CA: ") + m_ca.error);
        qputenv("ORVANTO_CA_FILE", m_ca.caFile.toUtf8());
        REQUIRE_SERVER(m_smtp.start(QStringLiteral("auth-tls"), &m_ca), QStringLiteral("aiosmtpd ") + m_smtp.output());
        REQUIRE_SERVER(m_plain.start(QStringLiteral("plain")), QStringLiteral("aiosmtpd plain"));
        REQUIRE_SERVER(m_pop3.start(m_ca), QStringLiteral("dovecot ") + m_pop3.output());
    }

    void promisesOfOneControlFromPop3ToQuit()
    {
        CMail mail;
        Events e(mail);
        account(mail, m_pop3.host(), 1);
        mail.Connect();
        settle(mail, e, 1);
        QCOMPARE(e.traceLines(QStringLiteral("> STLS")).size(), 1);
        // Disconnect and at once Connect: one event, the Connect's; a second Connect and
        // a send while it is under way are ignored.
        mail.Disconnect();
        account(mail, m_smtp.host());
        mail.Connect();
        mail.Connect();
        message(mail);
        mail.SetAction(15);
        settle(mail, e, 2);
        const int before = m_smtp.messages().size();
        mail.SetAction(15);
        settle(mail, e, 3);
        QVERIFY(m_smtp.waitForMessages(before + 1));
        QVERIFY(!e.progress.isEmpty());
        QCOMPARE(e.progress.last().at(0).toLongLong(), e.progress.last().at(1).toLongLong());
        // POP3's login, then one TLS login for the connection and the message sent over it.
        QCOMPARE(e.traceLines(QStringLiteral("> STARTTLS")).size(), 1);
        QCOMPARE(e.traceLines(QStringLiteral("> AUTH")).size(), 2);
        // The credentials never show, neither as they are nor in base64.
        for (const QByteArray &secret : {QByteArray("secret"), QByteArray("\0ann\0secret", 11).toBase64(),
                                         QByteArray("secret").toBase64()})
            QVERIFY(e.traceLines(QString::fromLatin1(secret)).isEmpty());
        mail.Disconnect();
        settle(mail, e, 4);
        QCOMPARE(e.traceLines(QStringLiteral("with QUIT")).size(), 2);  // POP3's and this one
        mail.Disconnect();  // already closed: still Done
        settle(mail, e, 5);
        QCOMPARE(e.done.count(), 5);

        // Blocking calls have finished on return and emit nothing, not even a trace.
        const int traces = e.trace.count();
        mail.SetBlocking(true);
        mail.Connect();
        QCOMPARE(mail.GetResultCode(), short(0));
        message(mail);
        mail.SetBlocking(true);
        mail.SetAction(15);
        QCOMPARE(mail.GetResultCode(), short(0));
        QCOMPARE(m_smtp.messages().size(), before + 2);
        mail.Disconnect();
        QCOMPARE(mail.GetResultCode(), short(0));
        mail.SetPassword(QStringLiteral("wrong"));
        mail.Connect();
        QCOMPARE(mail.GetResultCode(), short(MailCode::LoginRefused));
        QTest::qWait(200);
        QCOMPARE(e.count() + e.trace.count(), 5 + traces);
    }

    // A login asked for must happen, and a password never travels unencrypted to a
    // public host; a send that connects by itself keeps to the same rules.
    void loginRules_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("password");
        QTest::addColumn<bool>("publicHost");
        QTest::addColumn<int>("code");
        QTest::newRow("login not offered") << false << true << false << int(MailCode::LoginNotOffered);
        QTest::newRow("no password, no login") << false << false << false << 0;
        QTest::newRow("public host without TLS") << false << true << true << int(MailCode::PasswordNeedsTls);
        QTest::newRow("public host with STARTTLS") << true << true << true << 0;
    }

    void loginRules()
    {
        QFETCH(bool, tls);
        QFETCH(bool, password);
        QFETCH(bool, publicHost);
        QFETCH(int, code);
        SmtpServer &server = tls ? m_smtp : m_plain;
        CMail mail;
        Events e(mail);
        mail.setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{QStringLiteral("localhost")}, publicHost));
        account(mail, QStringLiteral("localhost:%1").arg(server.port), tls ? 2 : 0, password);
        const int before = server.messages().size();
        mail.Connect();
        settle(mail, e, 1);
        message(mail);
        mail.SetAction(15);
        settle(mail, e, 2);
        QCOMPARE(e.error.count(), code ? 2 : 0);
        for (const auto &error : e.error)
            QCOMPARE(error.at(0).toInt(), code);
        QCOMPARE(server.waitForMessages(before + 1, code ? 300 : 10000), code == 0);
        QCOMPARE(e.traceLines(QStringLiteral("> AUTH")).isEmpty(), !tls);
    }

    // An address that is not ASCII before the @ goes only to a server that offers
    // SMTPUTF8; elsewhere the send stops with one clear error and nothing is sent.
    void addressesNeedingSmtpUtf8()
    {
        SmtpServer utf8;
        REQUIRE_SERVER(utf8.start(QStringLiteral("utf8")), QStringLiteral("aiosmtpd utf8"));
        for (SmtpServer *server : {&m_plain, &utf8}) {
            CMail mail;
            Events e(mail);
            account(mail, server->host(), 0, false);
            message(mail);
            mail.SetTo(QStringLiteral("Jürgen <jürgen@bücher.example>, bob@example.test"));
            const int before = server->messages().size();
            mail.SetAction(15);
            settle(mail, e, 1);
            if (server == &m_plain) {
                QCOMPARE(e.error.count(), 1);
                QCOMPARE(e.error.first().at(0).toInt(), MailCode::NeedsSmtpUtf8);
                QVERIFY(e.error.first().at(1).toString().contains(QStringLiteral("jürgen@xn--bcher-kva.example")));
                QCOMPARE(server->messages().size(), before);
                continue;
            }
            QCOMPARE(e.done.count(), 1);
            QVERIFY(server->waitForMessages(before + 1));
            // libcurl adds the parameter itself when the server offers it.
            const QStringList mailFrom = e.traceLines(QStringLiteral("> MAIL FROM:"));
            QVERIFY(mailFrom.size() == 1 && mailFrom.first().endsWith(QStringLiteral(" SMTPUTF8")));
            QFile envelope(server->messages().last().chopped(4) + ".json");
            QVERIFY(envelope.open(QIODevice::ReadOnly));
            QCOMPARE(QJsonDocument::fromJson(envelope.readAll())["to"].toArray(),
                     (QJsonArray{"jürgen@xn--bcher-kva.example", "bob@example.test"}));
        }
    }

    void destroyingDuringAStalledConnectReturnsPromptly()
    {
        SmtpServer stall;
        REQUIRE_SERVER(stall.start(QStringLiteral("fault:stall")), QStringLiteral("stalling server"));
        QElapsedTimer clock;
        {
            CMail mail;
            account(mail, stall.host());  // its time-out of 10 s would end it only later
            mail.Connect();
            QTest::qWait(300);
            clock.start();
        }
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    void anIdleConnectionClosedByTheServerIsMadeAgainVisibly()
    {
        SmtpServer server;
        REQUIRE_SERVER(server.start(QStringLiteral("fault:drop-idle")), QStringLiteral("fault server"));
        CMail mail;
        Events e(mail);
        account(mail, server.host());
        mail.Connect();
        settle(mail, e, 1);
        QTest::qWait(600);  // the server closes the idle connection 200 ms after the login
        message(mail);
        mail.SetAction(15);
        settle(mail, e, 2);
        QCOMPARE(e.done.count(), 2);
        QVERIFY(server.waitForMessages(1));
        // The trace shows both connections with their logins.
        QCOMPARE(e.traceLines(QStringLiteral("> EHLO")).size(), 2);
        QCOMPARE(e.traceLines(QStringLiteral("> AUTH")).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCMail)
#include "test_cmail.moc"
