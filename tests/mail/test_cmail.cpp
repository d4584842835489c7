// The mail control against real servers: its event promises and what it asks of a server.
// The form's road through every server fault and a control destroyed mid-transfer: tests/integration.

#include "mail/cmail.h"
#include "mail/mail_errors.h"
#include "tests/support/mail/mail_servers.h"
#include "tests/support/test_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace MailTest;

namespace {

// A control that logs in as Ann to an SMTP server (without a password: no login asked for).
struct Control
{
    CMail mail;
    QSignalSpy done{&mail, &CMail::Done}, progress{&mail, &CMail::Progress};
    QList<int> errors;
    QString lastError, traced;  // the last error's text; the trace, a line break after each line

    explicit Control(const QString &host, bool password = true)
    {
        QObject::connect(&mail, &CMail::Trace, [this](const QString &line) { traced += line + '\n'; });
        QObject::connect(&mail, &CMail::Error, [this](short code, const QString &t) { errors << code; lastError = t; });
        mail.SetHostName(host);
        mail.SetUserName(QString::fromLatin1(User));
        mail.SetPassword(password ? QString::fromLatin1(Password) : QString());
        mail.SetDebug(1);
    }
    void send(const QString &to = QStringLiteral("bob@example.test"), bool blocking = false)
    {
        mail.SetAction(11);
        mail.SetFrom(QStringLiteral("<ann@example.test>"));
        mail.SetTo(to);
        mail.SetBodyText(0, QStringLiteral("Hello Bob\r\n"));
        mail.SetBlocking(blocking);
        mail.SetAction(15);
    }
    // Waits for n outcome events and an idle control, then a moment more for any extra event.
    void settle(int n)
    {
        QTRY_VERIFY_WITH_TIMEOUT(done.count() + errors.count() >= n && !mail.isBusy(), 20000);
        QTest::qWait(150);
    }
};

}  // namespace

class TestCMail : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;  // STARTTLS and AUTH
    Pop3Server m_pop3;

private slots:
    void initTestCase()
    {
        REQUIRE_SERVER(m_ca.create(m_dir.path()), QStringLiteral("test CA: ") + m_ca.error);
        qputenv("ORVANTO_CA_FILE", m_ca.caFile.toUtf8());
        REQUIRE_SERVER(m_smtp.start(QStringLiteral("auth-tls"), &m_ca), QStringLiteral("aiosmtpd ") + m_smtp.output());
        REQUIRE_SERVER(m_pop3.start(m_ca), QStringLiteral("dovecot ") + m_pop3.output());
    }

    void promisesOfOneControlFromPop3ToQuit()
    {
        Control c(m_pop3.host());
        c.mail.SetProtocol(1);
        c.mail.Connect();
        c.settle(1);
        // Disconnect then Connect at once: one event; a second Connect and a send meanwhile are ignored.
        c.mail.Disconnect();
        c.mail.SetHostName(m_smtp.host());
        c.mail.SetProtocol(2);
        c.mail.Connect();
        c.mail.Connect();
        c.send();
        c.settle(2);
        const int before = m_smtp.messages().size();
        c.mail.SetAction(15);
        c.settle(3);
        QVERIFY(!c.progress.isEmpty() && c.progress.last().at(0) == c.progress.last().at(1));
        c.mail.Disconnect();
        c.settle(4);
        c.mail.Disconnect();  // already closed: still Done
        c.settle(5);
        // STLS for POP3; one TLS login for the connection and its message; two QUITs; no password.
        QCOMPARE((QList<qsizetype>{c.traced.count("> STLS"), c.traced.count("> STARTTLS"), c.traced.count("> AUTH"),
                                   c.traced.count("with QUIT")}), (QList<qsizetype>{1, 1, 2, 2}));
        for (const QByteArray &secret : {QByteArray(Password), (QByteArray("\0ann\0", 5) + Password).toBase64()})
            QVERIFY2(!c.traced.contains(QString::fromLatin1(secret)), secret.constData());

        // Blocking calls have finished on return and emit nothing, not even a trace.
        const QString traced = c.traced;
        c.mail.SetBlocking(true);
        c.mail.Connect();
        QCOMPARE(c.mail.GetResultCode(), short(0));
        c.send(QStringLiteral("bob@example.test"), true);
        QVERIFY(c.mail.GetResultCode() == 0 && m_smtp.messages().size() == before + 2);
        c.mail.Disconnect();
        QCOMPARE(c.mail.GetResultCode(), short(0));
        QTest::qWait(200);
        QVERIFY(c.done.count() == 5 && c.errors.isEmpty() && c.traced == traced);
    }

    // A login asked for must happen; a password never travels unencrypted to a public host; an
    // address not ASCII before the @ goes only where SMTPUTF8 is offered (libcurl then asks for it);
    // an idle connection the server closed is made again; a send that connects keeps these rules.
    void whatTheServerMustOffer_data()
    {
        QTest::addColumn<QString>("setup");  // the mode of the test server, "password", "public"
        QTest::addColumn<QString>("to");
        QTest::addColumn<QList<int>>("errors");     // of the Connect and the send, in this order
        QTest::addColumn<int>("logins");
        QTest::addColumn<QStringList>("envelope");  // of the stored message; empty: none is stored
        const auto row = [](const char *name, const char *setup, const QString &to, const QList<int> &errors, int logins,
                            const QStringList &envelope) {
            QTest::newRow(name) << QString::fromLatin1(setup) << to << errors << logins << envelope;
        };
        const QString bob = QStringLiteral("bob@example.test"), jurgen = "Jürgen <jürgen@bücher.example>, " + bob;
        const int noLogin = MailCode::LoginNotOffered, needsTls = MailCode::PasswordNeedsTls;
        row("login not offered", "plain password", bob, {noLogin, noLogin}, 0, {});
        row("public host without TLS", "plain password public", bob, {needsTls, needsTls}, 0, {});
        row("public host with STARTTLS", "auth-tls password public", bob, {}, 1, {bob});
        row("no SMTPUTF8", "plain", jurgen, {MailCode::NeedsSmtpUtf8}, 0, {});
        row("SMTPUTF8", "utf8", jurgen, {}, 0, {"jürgen@xn--bcher-kva.example", bob});
        row("idle connection dropped", "fault:drop-idle password", bob, {}, 2, {"<" + bob + ">"});  // as it keeps it
    }

    void whatTheServerMustOffer()
    {
        QFETCH(QString, setup);
        QFETCH(QString, to);
        QFETCH(QStringList, envelope);
        const QString mode = setup.section(' ', 0, 0);
        SmtpServer s;
        REQUIRE_SERVER(s.start(mode, &m_ca), mode);
        Control c(QStringLiteral("localhost:%1").arg(s.port), setup.contains("password"));
        c.mail.setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{"localhost"}, setup.contains("public")));
        c.mail.Connect();
        c.settle(1);
        QTest::qWait(mode == "fault:drop-idle" ? 600 : 0);  // it closes the connection 200 ms after the login
        c.send(to);
        c.settle(2);
        QTEST(c.errors, "errors");
        QTEST(int(c.traced.count("> AUTH")), "logins");
        QCOMPARE(c.traced.contains(QRegularExpression(QStringLiteral("> MAIL FROM:[^\n]* SMTPUTF8\n"))), mode == "utf8");
        QCOMPARE(s.waitForMessages(1, envelope.isEmpty() ? 300 : 10000), !envelope.isEmpty());
        if (!envelope.isEmpty())
            QCOMPARE(QJsonDocument::fromJson(TestFiles::read(s.messages().last().chopped(4) + ".json"))["to"].toArray(),
                     QJsonArray::fromStringList(envelope));
        QVERIFY(!c.errors.contains(MailCode::NeedsSmtpUtf8) || c.lastError.contains("jürgen@xn--bcher-kva.example"));
    }
};

QTEST_GUILESS_MAIN(TestCMail)
#include "test_cmail.moc"
