// The Delivery's states against real servers: the road of a run, an account change
// within the run, connection failures, and closing a server that stalls. The form's
// side of it is in the mail road test.

#include "delivery/delivery.h"
#include "delivery/message_composer.h"
#include "mail/mail_errors.h"
#include "tests/integration/mail_road_fixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace MailTest;
using State = Delivery::State;

namespace {

// A Delivery with its own mail control and job, whose settings the test changes.
struct Rig
{
    ConnectionSettings settings;
    CMail mail;
    CVoiceCompressor job;
    Delivery delivery{mail, job, [this] { return settings; }};
    QList<State> states;

    explicit Rig(const Account &account)
    {
        settings.account = account;
        QObject::connect(&delivery, &Delivery::stateChanged, [this](State s) { states << s; });
    }
    bool reach(State state, int timeoutMs = 20000)
    {
        return QTest::qWaitFor([&] { return delivery.state() == state; }, timeoutMs);
    }
    // Composes a short message and hands it over.
    bool send()
    {
        const OutgoingMessage message{QStringLiteral("ann@example.test"), QStringLiteral("bob@example.test"), {},
                                      QStringLiteral("hello"), QStringLiteral("Hi Bob"), {}};
        return MessageComposer::composeMessage(mail, message, [](const QString &) {}).isEmpty()
               && delivery.handOver(Delivery::Handover::Message);
    }
};

// The longest time the event loop went without running a 10 ms timer.
struct StallProbe
{
    QElapsedTimer clock;
    QTimer timer;
    qint64 longest = 0;
    StallProbe()
    {
        clock.start();
        timer.callOnTimeout([this] { longest = std::max(longest, clock.restart()); });
        timer.start(10);
    }
};

}  // namespace

class DeliveryTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_esmtp, m_plain, m_stall;
    Pop3Server m_pop3;

    Account esmtpAccount() const { return MailRoad::testAccount(m_pop3.host(), m_esmtp.host()); }

private slots:
    void initTestCase()
    {
        REQUIRE_SERVER(m_ca.create(m_dir.path()), QStringLiteral("test CA: ") + m_ca.error);
        qputenv("ORVANTO_CA_FILE", m_ca.caFile.toUtf8());
        REQUIRE_SERVER(m_esmtp.start(QStringLiteral("auth-tls"), &m_ca), QStringLiteral("aiosmtpd"));
        REQUIRE_SERVER(m_plain.start(QStringLiteral("plain")), QStringLiteral("aiosmtpd without login"));
        REQUIRE_SERVER(m_stall.start(QStringLiteral("fault:stall-data")), QStringLiteral("stalling server"));
        REQUIRE_SERVER(m_pop3.start(m_ca), QStringLiteral("dovecot ") + m_pop3.output());
    }

    void aRunThenAnAccountWithoutPassword()
    {
        Rig rig(esmtpAccount());
        QSignalSpy locks(&rig.delivery, &Delivery::lockChanged);
        rig.delivery.connectServer();
        rig.delivery.connectServer();  // while the first is being made: nothing more
        QVERIFY(rig.reach(State::Connected));
        QVERIFY(rig.send() && rig.delivery.isLocked());
        QVERIFY(rig.reach(State::Connected) && !rig.delivery.isLocked());
        rig.delivery.disconnectServer();
        QVERIFY(rig.reach(State::Disconnected));
        // A completion that no request explains changes nothing.
        emit rig.mail.Done();
        QCOMPARE(rig.states, (QList<State>{State::LoggingIn, State::ConnectingOutgoing, State::Connected, State::Sending,
                                           State::Connected, State::Closing, State::Disconnected}));
        QCOMPARE(locks.size(), 2);

        // The same run, now SMTP to a server that takes mail without a login: the stage
        // is made from these settings alone, with no POP3 login again.
        rig.states.clear();
        rig.settings.account.outgoing = m_plain.host();
        rig.settings.account.protocol = MailProtocol::Smtp;
        rig.settings.account.requirePass = false;
        const int stored = m_plain.messages().size();
        rig.delivery.connectServer();
        QVERIFY(rig.reach(State::Connected) && rig.send() && rig.reach(State::Connected) && m_plain.waitForMessages(stored + 1));
        QCOMPARE(rig.states, (QList<State>{State::ConnectingOutgoing, State::Connected, State::Sending, State::Connected}));
    }

    void aFailedConnectionEndsTheWaitingSend()
    {
        Rig rig(MailRoad::testAccount(QStringLiteral("127.0.0.1:%1").arg(freePort()), m_esmtp.host()));
        QSignalSpy failed(&rig.delivery, &Delivery::failed);
        rig.delivery.requestSendAfterConnect();
        rig.delivery.connectServer();
        QVERIFY(failed.wait(20000));
        QCOMPARE(failed.first().first().toInt(), MailCode::ConnectionRefused);
        QVERIFY(rig.delivery.state() == State::Disconnected && !rig.delivery.isSendRequested());
        QCOMPARE(rig.states, (QList<State>{State::LoggingIn, State::Disconnected}));

        // Gmail with a client ID, but no sign-in module beside this program: the stage
        // ends as a failed sign-in that says so, and the waiting send with it.
        const QString conf = m_dir.filePath(QStringLiteral("oauth2.conf"));
        QVERIFY(TestFiles::write(conf, "[google]\nclient_id=test\n"));
        qputenv("ORVANTO_OAUTH2_SYSTEM_CONF", conf.toUtf8());
        rig.settings.account.incoming = QStringLiteral("pop.gmail.com");
        rig.states.clear();
        QSignalSpy signIn(&rig.delivery, &Delivery::signInFailed);
        rig.delivery.requestSendAfterConnect();
        rig.delivery.connectServer();
        QVERIFY(signIn.wait(5000));
        QCOMPARE(signIn.first().first().toString(), QStringLiteral("The sign-in with the browser is not installed (orvanto_signin)"));
        QVERIFY(!rig.delivery.isSendRequested() && failed.size() == 1);
        QCOMPARE(rig.states, (QList<State>{State::LoggingIn, State::Disconnected}));
    }

    void aStalledServerIsLeftWithinSecondsAndNeverHoldsTheWindow()
    {
        StallProbe probe;
        auto rig = std::make_unique<Rig>(MailRoad::testAccount(m_pop3.host(), m_stall.host()));
        rig->settings.timeoutSeconds = 6;  // longer than closing may take
        rig->delivery.connectServer();
        QVERIFY(rig->reach(State::Connected));
        QSignalSpy failed(&rig->delivery, &Delivery::failed);
        QVERIFY(rig->send());
        QVERIFY(failed.wait(15000));
        QCOMPARE(failed.first().first().toInt(), MailCode::TimedOut);
        // Closing after the error does not wait for the server a second time.
        QElapsedTimer closing;
        closing.start();
        rig->delivery.disconnectServer();
        QVERIFY(rig->reach(State::Disconnected, 5000));
        QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(closing.elapsed())));

        // Closing the program while a message hangs at the server: the control is gone
        // within about a second.
        rig->delivery.connectServer();
        QVERIFY(rig->reach(State::Connected) && rig->send());
        QTest::qWait(500);
        closing.restart();
        rig.reset();
        QVERIFY2(closing.elapsed() < 1300 && probe.longest < 1300,
                 qPrintable(QString("%1 ms to close, %2 ms held").arg(closing.elapsed()).arg(probe.longest)));
    }
};

QTEST_MAIN(DeliveryTest)
#include "test_delivery.moc"
