// Every fault of the mail road ends in one "Error %d: %s" line; the recording is
// restored and playable, the files the user attached stay, the connection is closed,
// and the next Send delivers the message.

#include "app/module_state.h"
#include "audio/sample_width.h"
#include "resources/resource_ids.h"
#include "tests/integration/mail_road_fixture.h"

#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace MailTest;
using namespace MailRoad;

class TestMailFormFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;
    Pop3Server m_pop3;

    static int errorLines(const QString &log)
    {
        return log.count(QRegularExpression(QStringLiteral("^Error -?\\d+: "), QRegularExpression::MultilineOption));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        REQUIRE_SERVER(m_ca.create(m_dir.path()), QStringLiteral("test CA: ") + m_ca.error);
        qputenv("ORVANTO_CA_FILE", m_ca.caFile.toUtf8());
        REQUIRE_SERVER(m_smtp.start(QStringLiteral("auth-tls"), &m_ca), QStringLiteral("aiosmtpd"));
        REQUIRE_SERVER(m_pop3.start(m_ca), QStringLiteral("dovecot ") + m_pop3.output());
    }

    void everyFaultEndsInOneErrorAndTheRetrySucceeds_data()
    {
        QTest::addColumn<QString>("server");   // fault mode, "refused", "unknown", "bad-cert", "password"
        QTest::addColumn<int>("code");
        QTest::newRow("554 greeting") << "fault:greet554" << 554;
        QTest::newRow("535 on AUTH") << "password" << 20012;
        QTest::newRow("451 on MAIL") << "fault:mail451" << 451;
        QTest::newRow("550 on RCPT") << "fault:rcpt550" << 550;
        QTest::newRow("552 after DATA") << "fault:data552" << 552;
        QTest::newRow("dropped during DATA") << "fault:drop-data" << 0;
        QTest::newRow("stall past the time-out") << "fault:stall" << 10060;
        QTest::newRow("refused connection") << "refused" << 10061;
        QTest::newRow("unknown host") << "unknown" << 11001;
        QTest::newRow("bad certificate") << "bad-cert" << 60;
    }

    void everyFaultEndsInOneErrorAndTheRetrySucceeds()
    {
        QFETCH(QString, server);
        QFETCH(int, code);
        SmtpServer fault;
        QString host = m_smtp.host();
        if (server.startsWith(QLatin1String("fault:")) || server == QLatin1String("bad-cert")) {
            REQUIRE_SERVER(fault.start(server, &m_ca), server);
            host = fault.host();
        } else if (server == QLatin1String("refused")) {
            host = QStringLiteral("127.0.0.1:%1").arg(freePort());
        } else if (server == QLatin1String("unknown")) {
            host = QStringLiteral("no.such.host.test");
        }
        FormHarness h;
        CTalkpostView &v = h.view();
        v.m_mail.setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{}));
        startForm(h, m_pop3.host(), host);
        v.m_timeoutSeconds = 2;
        if (server == QLatin1String("password"))
            v.m_password = QStringLiteral("wrong");  // POP3 accepts it below, the SMTP server not
        const QString notes = QDir(h.outbox()).filePath(QStringLiteral("notes.txt"));
        QFile n(notes);
        QVERIFY(n.open(QIODevice::WriteOnly));
        n.write("my notes\r\n");
        n.close();
        v.m_recipient = QStringLiteral("bob@example.test");
        v.m_attachments = notes + QLatin1Char(',');
        v.UpdateData(false);
        makeCompressedVoice(v, h.outbox(), 6);
        const QString raw = v.m_voiceFile;

        if (server == QLatin1String("password")) {
            // The POP3 login of this run is done with the right password first.
            v.m_password = QString::fromLatin1(Password);
            v.OnCommand(Ids::CmdConnect);
            QVERIFY(waitForLog(h, QStringLiteral("Connected.")));
            v.OnCommand(Ids::CmdDisconnect);
            QVERIFY(waitForLog(h, QStringLiteral("Disconnected.")));
            v.m_password = QStringLiteral("wrong");
        }
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Error "), 1, 30000), qPrintable(h.log()));
        QTest::qWait(500);
        const QString log = h.log();
        QCOMPARE(errorLines(log), 1);
        if (code != 0)
            QVERIFY2(log.contains(QStringLiteral("Error %1: ").arg(code)), qPrintable(log));
        QVERIFY(!log.contains(QStringLiteral("Email sent.")));

        // The recording is back, 16 bits wide again, and playable; the user's file stays.
        QCOMPARE(v.m_recordingFile, raw);
        QVERIFY(v.IsButtonEnabled(Ids::PlayButton));
        QCOMPARE(v.m_attachmentsEdit->text(), notes + QLatin1Char(','));
        QTRY_COMPARE(v.m_connected, 0);
        QVERIFY(!v.IsMessageLocked());
        QCOMPARE(v.m_sendAfterConnect, 0);
        QVERIFY(!v.IsTimerActive(Ids::TimerProgressDisplay));

        // The next Send, to a server that works, compresses the restored recording again
        // and delivers it.
        v.m_host = m_smtp.host();
        v.m_password = QString::fromLatin1(Password);
        const int stored = m_smtp.messages().size();
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Email sent.")), qPrintable(h.log()));
        QVERIFY(h.log().contains(QStringLiteral("Compression complete.")));
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        const QJsonObject o = checkMessage(m_smtp.messages().last());
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QCOMPARE(o.value("parts").toArray().size(), 3);  // notes, voice, text
    }

    void restoredRecordingKeepsItsSound()
    {
        // The narrowing and widening that a failed send goes through keep every sample
        // within the 8-bit step.
        QTemporaryDir dir;
        const QString path = makeRecording(dir.path(), 1, 1);
        const QByteArray before = readFile(path);
        QVERIFY(NarrowTo8Bit(path));
        QVERIFY(WidenTo16Bit(path));
        const QByteArray after = readFile(path);
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i + 1 < before.size(); i += 2) {
            const int a = qFromLittleEndian<qint16>(before.constData() + i);
            const int b = qFromLittleEndian<qint16>(after.constData() + i);
            QVERIFY(qAbs(a - b) < 256);
        }
    }
};

QTEST_MAIN(TestMailFormFaults)
#include "test_mail_form_faults.moc"
