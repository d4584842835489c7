// The mail control against servers that refuse, drop, stall or present a bad
// certificate: every fault ends in exactly one Error with the right code and text.

#include "mail/cmail.h"
#include "mail/mail_errors.h"
#include "tests/support/mail/mail_servers.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace MailTest;

class TestCMailFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;

    struct Outcome
    {
        int done = 0;
        int errors = 0;
        int code = 0;
        QString text;
        QStringList trace;
    };

    static void account(CMail &mail, const QString &host, int timeout = 10)
    {
        mail.SetHostName(host);
        mail.SetUserName(QString::fromLatin1(User));
        mail.SetPassword(QString::fromLatin1(Password));
        mail.SetProtocol(2);
        mail.SetAuthenticate(1);
        mail.SetTimeout(short(timeout));
        mail.SetDebug(1);
    }

    static void message(CMail &mail, int bodyLines = 2)
    {
        mail.SetBlocking(true);
        mail.SetAction(11);
        mail.SetFrom(QStringLiteral("<ann@example.test>"));
        mail.SetTo(QStringLiteral("bob@example.test"));
        mail.SetSubject(QStringLiteral("fault"));
        QString body;
        for (int i = 0; i < bodyLines; ++i)
            body += QStringLiteral("line %1 of the message text\r\n").arg(i);
        mail.SetBodyText(0, body);
        mail.SetBlocking(false);
    }

    // Runs one non-blocking call and collects its events until one outcome came.
    template <typename Call>
    static Outcome run(CMail &mail, Call call, int timeoutMs = 20000)
    {
        QSignalSpy done(&mail, &CMail::Done), error(&mail, &CMail::Error), trace(&mail, &CMail::Trace);
        call();
        Outcome o;
        QElapsedTimer clock;
        clock.start();
        while (done.count() + error.count() == 0 && clock.elapsed() < timeoutMs)
            QTest::qWait(20);
        QTest::qWait(200);
        o.done = done.count();
        o.errors = error.count();
        if (!error.isEmpty()) {
            o.code = error.first().at(0).toInt();
            o.text = error.first().at(1).toString();
        }
        for (const auto &t : trace)
            o.trace << t.at(0).toString();
        return o;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        REQUIRE_SERVER(m_ca.create(m_dir.path()), QStringLiteral("test CA: ") + m_ca.error);
        qputenv("ORVANTO_CA_FILE", m_ca.caFile.toUtf8());
    }

    void refusalsCarryTheServersCodeAndText_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("atConnect");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("554 greeting") << "greet554" << true << 554 << "554 5.3.2 No service for you";
        QTest::newRow("451 on MAIL") << "mail451" << false << 451 << "451 4.3.0 Mail server temporarily rejected message";
        QTest::newRow("550 on RCPT") << "rcpt550" << false << 550 << "550 5.1.1 <nobody@example.test>: Recipient address rejected";
        QTest::newRow("552 after DATA") << "data552" << false << 552 << "552 5.3.4 Message size exceeds fixed limit";
        QTest::newRow("451 after DATA") << "data451" << false << 451 << "451 4.3.0 Error: queue file write error";
    }

    void refusalsCarryTheServersCodeAndText()
    {
        QFETCH(QString, fault);
        QFETCH(bool, atConnect);
        QFETCH(int, code);
        QFETCH(QString, text);
        SmtpServer server;
        REQUIRE_SERVER(server.start(QStringLiteral("fault:") + fault), QStringLiteral("fault server"));
        CMail mail;
        account(mail, server.host());
        Outcome o = run(mail, [&] { mail.Connect(); });
        if (!atConnect) {
            QCOMPARE(o.done, 1);
            message(mail);
            o = run(mail, [&] { mail.SetAction(15); });
            QCOMPARE(o.done, 0);
        }
        QCOMPARE(o.errors, 1);
        QCOMPARE(o.code, code);
        QCOMPARE(o.text, text);
        QCOMPARE(mail.GetResultCode(), short(code));
        QVERIFY(server.messages().isEmpty());
    }

    void transportFailures()
    {
        // Nothing listens on a port taken from a closed listener.
        CMail mail;
        account(mail, QStringLiteral("127.0.0.1:%1").arg(freePort()));
        Outcome o = run(mail, [&] { mail.Connect(); });
        QCOMPARE(o.errors, 1);
        QCOMPARE(o.code, int(MailCode::ConnectionRefused));
        QVERIFY2(o.text.contains(QStringLiteral("127.0.0.1")), qPrintable(o.text));

        SmtpServer stall;
        REQUIRE_SERVER(stall.start(QStringLiteral("fault:stall")), QStringLiteral("stalling server"));
        account(mail, stall.host(), 2);
        QElapsedTimer clock;
        clock.start();
        o = run(mail, [&] { mail.Connect(); });
        QCOMPARE(o.errors, 1);
        QCOMPARE(o.code, int(MailCode::TimedOut));
        QVERIFY(clock.elapsed() < 8000);

        SmtpServer bad;
        REQUIRE_SERVER(bad.start(QStringLiteral("bad-cert"), &m_ca), QStringLiteral("server with a bad certificate"));
        account(mail, bad.host());
        o = run(mail, [&] { mail.Connect(); });
        QCOMPARE(o.errors, 1);
        QCOMPARE(o.code, 60);
        QVERIFY2(o.text.contains(QStringLiteral("certificate"), Qt::CaseInsensitive), qPrintable(o.text));
        QVERIFY(o.trace.filter(QStringLiteral("> AUTH")).isEmpty());
    }

    void droppedDuringData()
    {
        SmtpServer server;
        REQUIRE_SERVER(server.start(QStringLiteral("fault:drop-data")), QStringLiteral("fault server"));
        CMail mail;
        account(mail, server.host());
        QCOMPARE(run(mail, [&] { mail.Connect(); }).done, 1);
        message(mail, 400);
        const Outcome o = run(mail, [&] { mail.SetAction(15); });
        QCOMPARE(o.done, 0);
        QCOMPARE(o.errors, 1);
        QVERIFY(o.code != 0);
        QVERIFY(!o.text.isEmpty());
        QVERIFY(server.messages().isEmpty());
    }

    void anIdleConnectionClosedByTheServerIsMadeAgainVisibly()
    {
        SmtpServer server;
        REQUIRE_SERVER(server.start(QStringLiteral("fault:drop-idle")), QStringLiteral("fault server"));
        CMail mail;
        account(mail, server.host());
        QCOMPARE(run(mail, [&] { mail.Connect(); }).done, 1);
        QTest::qWait(600);  // the server has closed the idle connection meanwhile
        message(mail);
        const Outcome o = run(mail, [&] { mail.SetAction(15); });
        QVERIFY2(o.errors == 0, qPrintable(o.text + QLatin1Char('\n') + o.trace.join(QLatin1Char('\n'))));
        QCOMPARE(o.done, 1);
        QVERIFY(server.waitForMessages(1));
        // The trace shows the new connection and its login.
        QVERIFY2(o.trace.filter(QStringLiteral("> EHLO")).size() == 1, qPrintable(o.trace.join('\n')));
        QCOMPARE(o.trace.filter(QStringLiteral("> AUTH")).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCMailFaults)
#include "test_cmail_faults.moc"
