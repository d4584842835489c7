// The mail control against real servers: connection, login, delivery and its events.

#include "mail/cmail.h"
#include "mail/mail_errors.h"
#include "tests/support/mail/mail_servers.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace MailTest;

class TestCMail : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;      // STARTTLS and AUTH
    SmtpServer m_plain;     // neither
    Pop3Server m_pop3;

    struct Events
    {
        explicit Events(CMail &mail)
            : done(&mail, &CMail::Done), error(&mail, &CMail::Error), trace(&mail, &CMail::Trace),
              progress(&mail, &CMail::Progress) {}
        QSignalSpy done, error, trace, progress;
        int count() const { return done.count() + error.count(); }
        QStringList traceLines() const
        {
            QStringList lines;
            for (const auto &t : trace)
                lines << t.at(0).toString();
            return lines;
        }
    };

    // Waits until n outcome events came, then a little longer to catch any extra one.
    static void settle(const Events &e, int n, int timeoutMs = 20000)
    {
        QTRY_VERIFY_WITH_TIMEOUT(e.count() >= n, timeoutMs);
        QTest::qWait(150);
    }

    void smtpAccount(CMail &mail, const QString &host)
    {
        mail.SetHostName(host);
        mail.SetUserName(QString::fromLatin1(User));
        mail.SetPassword(QString::fromLatin1(Password));
        mail.SetProtocol(2);
        mail.SetAuthenticate(1);
        mail.SetTimeout(10);
    }

    static void simpleMessage(CMail &mail, const QString &subject)
    {
        mail.SetBlocking(true);
        mail.SetAction(11);
        mail.SetDate(QStringLiteral("Saturday, December 06, 2025 07:39 PM"));
        mail.SetMessageId(QStringLiteral("2025126193912TAVEMAIL"));
        mail.SetFrom(QStringLiteral("<ann@example.test>"));
        mail.SetTo(QStringLiteral("bob@example.test"));
        mail.SetSubject(subject);
        mail.SetContentType(QStringLiteral("text"));
        mail.SetContentSubtype(QStringLiteral("plain"));
        mail.SetBodyText(0, QStringLiteral("Hello Bob\r\n"));
    }

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

    void pop3LoginThenOutgoingReportsOnlyTheOutgoing()
    {
        CMail mail;
        Events e(mail);
        mail.SetHostName(m_pop3.host());
        mail.SetUserName(QString::fromLatin1(User));
        mail.SetPassword(QString::fromLatin1(Password));
        mail.SetProtocol(1);
        mail.SetDebug(1);
        mail.Connect();
        settle(e, 1);
        QCOMPARE(e.error.count(), 0);
        QCOMPARE(e.done.count(), 1);
        const QString trace = e.traceLines().join(QLatin1Char('\n'));
        QVERIFY2(trace.contains(QStringLiteral("STLS")), qPrintable(trace));
        QVERIFY2(!trace.contains(QString::fromLatin1(Password)), qPrintable(trace));

        // Disconnect and at once Connect: one event, the Connect's.
        mail.Disconnect();
        smtpAccount(mail, m_smtp.host());
        mail.Connect();
        settle(e, 2);
        QCOMPARE(e.done.count(), 2);
        QCOMPARE(e.error.count(), 0);
    }

    void sendOverTheConnectionAndDisconnect()
    {
        CMail mail;
        Events e(mail);
        smtpAccount(mail, m_smtp.host());
        mail.SetDebug(1);
        mail.SetBlocking(false);
        mail.Connect();
        settle(e, 1);
        QCOMPARE(e.done.count(), 1);
        const int before = m_smtp.messages().size();
        simpleMessage(mail, QStringLiteral("first"));
        mail.SetBlocking(false);
        mail.SetAction(15);
        settle(e, 2);
        QCOMPARE(e.done.count(), 2);
        QVERIFY(m_smtp.waitForMessages(before + 1));
        QVERIFY(!e.progress.isEmpty());
        QCOMPARE(e.progress.last().at(0).toLongLong(), e.progress.last().at(1).toLongLong());

        const QStringList lines = e.traceLines();
        const QString trace = lines.join(QLatin1Char('\n'));
        QVERIFY2(trace.contains(QStringLiteral("> STARTTLS")), qPrintable(trace));
        QVERIFY2(trace.contains(QStringLiteral("< 235")), qPrintable(trace));
        // The credentials never show: neither the password nor its base64 forms.
        QVERIFY(!trace.contains(QString::fromLatin1(Password)));
        QVERIFY(!trace.contains(QString::fromLatin1(QByteArray("\0ann\0secret", 11).toBase64())));
        QVERIFY(!trace.contains(QString::fromLatin1(QByteArray("secret").toBase64())));
        // One login for the connection and the message sent over it.
        QCOMPARE(lines.filter(QStringLiteral("> AUTH")).size(), 1);

        mail.Disconnect();
        settle(e, 3);
        QCOMPARE(e.done.count(), 3);
        QCOMPARE(e.traceLines().filter(QStringLiteral("QUIT")).size(), 1);
        // A Disconnect of a connection already closed still ends in Done.
        mail.Disconnect();
        settle(e, 4);
        QCOMPARE(e.done.count(), 4);
        QCOMPARE(e.error.count(), 0);
    }

    void secondConnectWhileConnectingIsIgnored()
    {
        CMail mail;
        Events e(mail);
        smtpAccount(mail, m_smtp.host());
        mail.Connect();
        mail.Connect();
        simpleMessage(mail, QStringLiteral("ignored"));
        mail.SetBlocking(false);
        mail.SetAction(15);  // ignored too: the Connect is still under way
        settle(e, 1);
        QTest::qWait(500);
        QCOMPARE(e.count(), 1);
        QCOMPARE(e.done.count(), 1);
    }

    void blockingCallsFinishOnReturnWithoutEvents()
    {
        CMail mail;
        Events e(mail);
        smtpAccount(mail, m_smtp.host());
        mail.SetDebug(1);
        mail.SetBlocking(true);
        mail.Connect();
        QCOMPARE(mail.GetResultCode(), short(0));
        const int before = m_smtp.messages().size();
        simpleMessage(mail, QStringLiteral("blocking"));
        mail.SetAction(15);
        QCOMPARE(mail.GetResultCode(), short(0));
        QCOMPARE(m_smtp.messages().size(), before + 1);
        mail.Disconnect();
        QCOMPARE(mail.GetResultCode(), short(0));
        mail.SetPassword(QStringLiteral("wrong"));
        mail.Connect();
        QCOMPARE(mail.GetResultCode(), short(MailCode::LoginRefused));
        QTest::qWait(200);
        QCOMPARE(e.count(), 0);
        QCOMPARE(e.trace.count(), 0);
    }

    void refusedLoginsAre20012WithTheServersText_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::newRow("pop3") << 1;
        QTest::newRow("esmtp") << 2;
    }

    void refusedLoginsAre20012WithTheServersText()
    {
        QFETCH(int, protocol);
        CMail mail;
        Events e(mail);
        smtpAccount(mail, protocol == 1 ? m_pop3.host() : m_smtp.host());
        mail.SetProtocol(protocol);
        mail.SetPassword(QStringLiteral("wrong"));
        mail.Connect();
        settle(e, 1);
        QCOMPARE(e.error.count(), 1);
        QCOMPARE(e.error.first().at(0).toInt(), int(MailCode::LoginRefused));
        const QString text = e.error.first().at(1).toString();
        QVERIFY2(text.startsWith(protocol == 1 ? QStringLiteral("-ERR") : QStringLiteral("535")), qPrintable(text));
    }

    void smtpWithoutPasswordSendsWithoutLogin()
    {
        CMail mail;
        Events e(mail);
        mail.SetHostName(m_plain.host());
        mail.SetUserName(QString::fromLatin1(User));
        mail.SetPassword(QString());
        mail.SetProtocol(0);
        mail.SetDebug(1);
        mail.Connect();
        settle(e, 1);
        QCOMPARE(e.done.count(), 1);
        simpleMessage(mail, QStringLiteral("no login"));
        mail.SetBlocking(false);
        mail.SetAction(15);
        settle(e, 2);
        QCOMPARE(e.done.count(), 2);
        QVERIFY(m_plain.waitForMessages(1));
        QVERIFY(e.traceLines().filter(QStringLiteral("> AUTH")).isEmpty());
    }

    void loginAskedForButNotOfferedIsAnError()
    {
        CMail mail;
        Events e(mail);
        smtpAccount(mail, m_plain.host());  // the plain server advertises no AUTH
        const int before = m_plain.messages().size();
        mail.Connect();
        settle(e, 1);
        QCOMPARE(e.error.count(), 1);
        QCOMPARE(e.error.first().at(0).toInt(), int(MailCode::LoginNotOffered));
        // A send that connects by itself refuses the same way and sends nothing.
        simpleMessage(mail, QStringLiteral("must not arrive"));
        mail.SetBlocking(false);
        mail.SetAction(15);
        settle(e, 2);
        QCOMPARE(e.error.count(), 2);
        QCOMPARE(e.error.last().at(0).toInt(), int(MailCode::LoginNotOffered));
        QTest::qWait(300);
        QCOMPARE(m_plain.messages().size(), before);
    }

    void implicitTlsPortAndSecureRequiredToPublicHosts()
    {
        // dovecot's pop3s port is not 995 here; STLS on the plain port must be used.
        CMail mail;
        Events e(mail);
        mail.setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{QStringLiteral("localhost")}, true));
        // A public host offering no TLS: the password is not sent.
        mail.SetHostName(QStringLiteral("localhost:%1").arg(m_plain.port));
        mail.SetUserName(QString::fromLatin1(User));
        mail.SetPassword(QString::fromLatin1(Password));
        mail.SetProtocol(0);
        mail.SetDebug(1);
        mail.Connect();
        settle(e, 1);
        QCOMPARE(e.error.count(), 1);
        QCOMPARE(e.error.first().at(0).toInt(), int(MailCode::PasswordNeedsTls));
        QVERIFY(e.traceLines().filter(QStringLiteral("> AUTH")).isEmpty());
        // A public host offering STARTTLS: the login goes over TLS.
        mail.SetHostName(QStringLiteral("localhost:%1").arg(m_smtp.port));
        mail.SetProtocol(2);
        mail.SetAuthenticate(1);
        mail.Connect();
        settle(e, 2);
        QCOMPARE(e.done.count(), 1);
        // The name resolved through the seam was pinned: no other lookup took place.
        QVERIFY(e.traceLines().filter(QStringLiteral("Resolving localhost")).size() >= 2);
    }

    void unknownHostIs11001()
    {
        CMail mail;
        Events e(mail);
        mail.setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{}));
        smtpAccount(mail, QStringLiteral("no.such.host.test"));
        mail.Connect();
        settle(e, 1);
        QCOMPARE(e.error.count(), 1);
        QCOMPARE(e.error.first().at(0).toInt(), int(MailCode::HostNotFound));
        QVERIFY(e.error.first().at(1).toString().contains(QStringLiteral("no.such.host.test")));
    }

    void destroyingDuringAStalledConnectReturnsPromptly()
    {
        SmtpServer stall;
        REQUIRE_SERVER(stall.start(QStringLiteral("fault:stall")), QStringLiteral("stalling server"));
        QElapsedTimer clock;
        {
            CMail mail;
            smtpAccount(mail, stall.host());
            mail.SetTimeout(60);
            mail.Connect();
            QTest::qWait(300);
            clock.start();
        }
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestCMail)
#include "test_cmail.moc"
