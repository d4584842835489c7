// The road of a voice message through the form against real servers: POP3 login,
// the outgoing connection, the message, "Email sent.", the record, the reset and
// "Disconnected."; then a second message without the POP3 stage.

#include "app/module_state.h"
#include "resources/resource_ids.h"
#include "records/recipient_history.h"
#include "shell/main_frame.h"
#include "shell/status_pane.h"
#include "tests/integration/mail_road_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace MailTest;
using namespace MailRoad;

// The rows of the Recorded Messages dialog as "file|sent to", opened by its command.
static QStringList recordedMessages(FormHarness &h)
{
    QStringList rows;
    h.prompter().onNextDialog([&rows](QDialog &dialog) {
        const auto *list = dialog.findChild<QTableWidget *>(QString::number(Ids::RecordsList));
        for (int row = 0; list && row < list->rowCount(); ++row)
            rows << list->item(row, 0)->text() + QLatin1Char('|') + list->item(row, 1)->text();
        return Ids::ResultOk;
    });
    h.view().OnCommand(Ids::CmdSentMessages);
    return rows;
}

class TestMailRoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;
    Pop3Server m_pop3;

    static QString md5(const QByteArray &data)
    {
        return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
    }

    static QJsonObject envelope(const QString &eml)
    {
        QString json = eml;
        json.replace(QStringLiteral(".eml"), QStringLiteral(".json"));
        return QJsonDocument::fromJson(readFile(json)).object();
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

    void wholeRoadThenASecondMessageWithoutPop3()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        v.m_traceOn = 1;
        v.m_recipient = QStringLiteral("bob@example.test");
        v.m_subject = QStringLiteral("Voice message from Ann");
        v.m_body = QStringLiteral("Hello,\r\n\r\nlisten to this.\r\n\r\nAnn");
        v.UpdateData(false);
        // A recording as Stop leaves it; Send compresses it through the real job.
        const QString raw = makeRecording(h.outbox(), 3, 1);
        v.m_recordingFile = raw;
        QString wav = raw;
        wav.replace(QStringLiteral(".pcm"), QStringLiteral(".wav"));
        const int stored = m_smtp.messages().size();

        QStringList paneTexts;
        const QMetaObject::Connection paneWatch = connect(h.frame().statusPane(), &StatusPane::paneTextChanged, this,
                                                          [&paneTexts](const QString &text) { paneTexts << text; });
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Disconnected.")), qPrintable(h.log()));
        disconnect(paneWatch);
        const QByteArray wavBytes = readFile(wav);
        QVERIFY(wavBytes.startsWith("RIFF"));
        QVERIFY2(paneTexts.contains(QStringLiteral("Compressing")) && paneTexts.contains(QStringLiteral("Sending")),
                 qPrintable(paneTexts.join(QLatin1Char(','))));
        QCOMPARE(paneTexts.last(), QStringLiteral("Idle"));
        const QString log = h.log();
        const QStringList expected = {
            QStringLiteral("Connecting to ") + m_smtp.host() + QStringLiteral("..."),
            QStringLiteral("Connected."),
            QStringLiteral("Compressing..."),
            QStringLiteral("Compression complete."),
            QStringLiteral("From: <ann@example.test>"),
            QStringLiteral("To:    bob@example.test"),
            QStringLiteral("Attaching ") + wav,
            QStringLiteral("Email sent."),
            QStringLiteral("Sending elapsed time: "),
            QStringLiteral("New email."),
            QStringLiteral("Disconnected."),
        };
        int at = 0;
        for (const QString &line : expected) {
            const int found = log.indexOf(line, at);
            QVERIFY2(found >= 0, qPrintable(line + QStringLiteral("\n---\n") + log));
            at = found + line.size();
        }
        QCOMPARE(log.count(QStringLiteral("Connected.")), 1);
        QCOMPARE(log.count(QRegularExpression(QStringLiteral("^Error "), QRegularExpression::MultilineOption)), 0);
        // The trace showed the POP3 login and the outgoing login, never the password.
        QVERIFY(log.contains(QStringLiteral("Trace: > CAPA")));
        QVERIFY(log.contains(QStringLiteral("Trace: < 235")));
        QVERIFY(!log.contains(QString::fromLatin1(Password)));
        QVERIFY(log.contains(QStringLiteral("Hide Debug Info")));

        // The stored message, read strictly.
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        const QString eml = m_smtp.messages().last();
        const QJsonObject o = checkMessage(eml);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        const QJsonArray parts = o.value("parts").toArray();
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].toObject().value("type").toString(), QStringLiteral("audio/basic"));
        QCOMPARE(parts[0].toObject().value("filename").toString(), QStringLiteral("orv1039000001.wav"));
        QVERIFY(parts[0].toObject().value("size").toInt() > 3 * 1625 - 65);  // GSM: 1,625 bytes a second
        QCOMPARE(parts[0].toObject().value("md5").toString(), md5(wavBytes));
        const QString text = parts[1].toObject().value("text").toString();
        QVERIFY(text.startsWith(QStringLiteral("Hello,\r\n\r\nlisten to this.")));
        QVERIFY(text.contains(QStringLiteral("support@orvanto.example")));
        const QJsonObject headers = o.value("headers").toObject();
        QVERIFY(QRegularExpression(QStringLiteral("^<\\d+TAVEMAIL@example\\.test>$"))
                    .match(headers.value("Message-ID").toString()).hasMatch());
        QCOMPARE(headers.value("Reply-To").toString(), QStringLiteral("ann@example.test"));
        QCOMPARE(envelope(eml).value("to").toArray().size(), 1);

        // Delivered: the recording is gone, the record names the recipient, the form is new.
        QVERIFY(!QFile::exists(raw));
        QVERIFY(QFile::exists(wav));
        QCOMPARE(readFile(wav + QStringLiteral(".info")), QByteArray("bob@example.test"));
        QVERIFY(v.m_infoFile.isEmpty());
        QVERIFY(v.m_voiceFile.isEmpty());
        QVERIFY(v.m_recipient.isEmpty());
        QVERIFY(v.m_attachmentsEdit->text().isEmpty());
        QCOMPARE(v.m_connected, 0);
        QVERIFY(!v.IsMessageLocked());
        QVERIFY(h.frame().action(Ids::CmdNew)->isEnabled());
        // The recipient joined the history and the To box; the voice file is listed.
        QCOMPARE(RecipientHistory(h.programFolder()).entries(), QStringList{QStringLiteral("bob@example.test")});
        QCOMPARE(v.m_recipientCombo->findText(QStringLiteral("bob@example.test")), 0);
        QCOMPARE(recordedMessages(h), QStringList{QStringLiteral("orv1039000001.wav|bob@example.test")});

        // The second message of the run goes straight to the outgoing server.
        v.m_traceOn = 1;
        v.m_recipient = QStringLiteral("Carl <carl@example.test>; dan@example.test");
        v.UpdateData(false);
        const QString wav2 = makeCompressedVoice(v, h.outbox(), 2);
        QSignalSpy trace(&v.m_mail, &CMail::Trace);
        v.OnCommand(Ids::CmdSend);
        // The log window empties itself past 10000 characters, so the state tells the end.
        QTRY_VERIFY_WITH_TIMEOUT(m_smtp.messages().size() == stored + 2 && !v.m_connected
                                     && h.log().endsWith(QStringLiteral("Disconnected.\n")), 30000);
        QStringList lines;
        for (const auto &t : trace)
            lines << t.at(0).toString();
        QVERIFY(!lines.isEmpty());
        QVERIFY(lines.filter(QStringLiteral("> CAPA")).isEmpty());
        QCOMPARE(lines.filter(QStringLiteral("> EHLO")).size(), 2);  // before and after STARTTLS
        QVERIFY(m_smtp.waitForMessages(stored + 2));
        const QString eml2 = m_smtp.messages().last();
        QCOMPARE(envelope(eml2).value("to").toArray().size(), 2);
        QCOMPARE(checkMessage(eml2).value("parts").toArray()[0].toObject().value("md5").toString(),
                 md5(readFile(wav2)));
        // Each record names its own recipient.
        QCOMPARE(readFile(wav + QStringLiteral(".info")), QByteArray("bob@example.test"));
        QCOMPARE(readFile(wav2 + QStringLiteral(".info")), QByteArray("Carl <carl@example.test>; dan@example.test"));
        QCOMPARE(RecipientHistory(h.programFolder()).entries(),
                 (QStringList{QStringLiteral("bob@example.test"),
                              QStringLiteral("Carl <carl@example.test>; dan@example.test")}));
        // The list shows the first word of each record.
        const QStringList rows = recordedMessages(h);
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows.contains(QStringLiteral("orv1039000001.wav|bob@example.test")));
        QVERIFY(rows.contains(QFileInfo(wav2).fileName() + QStringLiteral("|Carl")));
    }

    void headersCannotBeInjectedAndNonAsciiComesBack()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        const int stored = m_smtp.messages().size();
        v.m_recipient = QStringLiteral("bob@example.test\r\nBcc: eve@example.test");
        v.m_cc = QStringLiteral("Jürgen <juergen@example.test>\nX-Evil: 1");
        v.m_subject = QStringLiteral("Grüße aus Köln\r\nX-Evil: 2");
        v.m_phone = QStringLiteral("555\r\nX-Evil: 3");
        v.m_body = QStringLiteral("Schöne Grüße,\r\nAnn");
        v.UpdateData(false);
        // The one-line edits drop line breaks themselves; the members carry them as typed.
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Disconnected.")), qPrintable(h.log()));
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        const QString eml = m_smtp.messages().last();
        const QJsonObject o = checkMessage(eml);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        const QJsonObject headers = o.value("headers").toObject();
        QVERIFY(!headers.contains("Bcc"));
        QVERIFY(!headers.contains("X-Evil"));
        QCOMPARE(o.value("type").toString(), QStringLiteral("text/plain"));
        QVERIFY2(headers.value("Subject").toString().startsWith(QStringLiteral("Grüße aus Köln")),
                 qPrintable(headers.value("Subject").toString()));
        QVERIFY(headers.value("Subject").toString().contains(QStringLiteral(". Phone: 555")));
        QVERIFY(headers.value("Cc").toString().startsWith(QStringLiteral("Jürgen <juergen@example.test>")));
        const QJsonObject text = o.value("parts").toArray()[0].toObject();
        QCOMPARE(text.value("charset").toString(), QStringLiteral("utf-8"));
        QVERIFY(text.value("text").toString().startsWith(QStringLiteral("Schöne Grüße,\r\nAnn")));
        QStringList rcpt;
        for (const auto &r : envelope(eml).value("to").toArray())
            rcpt << r.toString();
        QCOMPARE(rcpt, (QStringList{QStringLiteral("bob@example.test"), QStringLiteral("juergen@example.test")}));
    }

    void aMessageBeingSentIsLocked()
    {
        SmtpServer slow;
        REQUIRE_SERVER(slow.start(QStringLiteral("fault:slow")), QStringLiteral("slow server"));
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), slow.host());
        v.m_recipient = QStringLiteral("bob@example.test");
        v.UpdateData(false);
        makeCompressedVoice(v, h.outbox(), 3);
        v.OnCommand(Ids::CmdSend);
        QVERIFY(waitForLog(h, QStringLiteral("Attaching ")));
        QVERIFY(v.IsMessageLocked());
        QTRY_VERIFY(!h.frame().action(Ids::CmdNew)->isEnabled());
        QVERIFY(!h.frame().action(Ids::CmdSettings)->isEnabled());
        QVERIFY(!v.IsButtonEnabled(Ids::RecButton));
        QVERIFY(!v.m_profileCombo->isEnabled());
        // Commands that would reset or resend the message are refused with one line each.
        v.OnCommand(Ids::CmdNew);
        v.OnCommand(Ids::CmdSend);
        v.OnCommand(Ids::CmdTechSupport);
        QCOMPARE(h.log().count(QStringLiteral("Please wait: the message is being compressed or sent.")), 3);
        QCOMPARE(v.m_recipient, QStringLiteral("bob@example.test"));
        QVERIFY(waitForLog(h, QStringLiteral("Email sent.")));
        QVERIFY(!v.IsMessageLocked());
        QVERIFY(h.frame().action(Ids::CmdNew)->isEnabled());
        QVERIFY(v.IsButtonEnabled(Ids::RecButton));
        QVERIFY(v.m_profileCombo->isEnabled());
        QVERIFY(waitForLog(h, QStringLiteral("Disconnected.")));
        QCOMPARE(slow.messages().size(), 1);
    }

    void testMailLeavesTheMessageAlone()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        v.OnCommand(Ids::CmdConnect);
        QVERIFY2(waitForLog(h, QStringLiteral("Connected.")), qPrintable(h.log()));
        v.m_recipient = QStringLiteral("bob@example.test");
        v.m_subject = QStringLiteral("kept");
        v.UpdateData(false);
        const QString wav = makeCompressedVoice(v, h.outbox(), 4);
        const QString attachments = v.m_attachmentsEdit->text();
        const int stored = m_smtp.messages().size();
        QString offered;
        h.prompter().onNextDialog([&](QDialog &d) {
            auto *edit = d.findChild<QLineEdit *>(QString::number(Ids::TestEmailEdit));
            offered = edit->text();
            edit->setText(QStringLiteral("tester@example.test"));
            return int(QDialog::Accepted);
        });
        const int newMessages = h.log().count(QStringLiteral("New email."));
        v.OnCommand(Ids::CmdTestMail);
        QVERIFY(waitForLog(h, QStringLiteral("Disconnected.")));
        QCOMPARE(offered, QStringLiteral("ann@127.0.0.1"));
        QVERIFY(h.log().contains(QStringLiteral("Sending test email...")));
        QVERIFY2(h.log().contains(QStringLiteral("Email sent.")), qPrintable(h.log()));
        QCOMPARE(h.log().count(QStringLiteral("New email.")), newMessages);
        QCOMPARE(v.m_subject, QStringLiteral("kept"));
        QCOMPARE(v.m_attachmentsEdit->text(), attachments);
        QVERIFY(QFile::exists(v.m_voiceFile));
        QVERIFY(!QFile::exists(wav + QStringLiteral(".info")));
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        const QJsonObject o = checkMessage(m_smtp.messages().last());
        QCOMPARE(o.value("headers").toObject().value("Subject").toString(), QStringLiteral("test"));
        QCOMPARE(o.value("parts").toArray()[0].toObject().value("text").toString().trimmed(), QStringLiteral("test message"));

        // Without a connection, and when cancelled.
        v.OnCommand(Ids::CmdTestMail);
        QVERIFY(h.log().contains(QStringLiteral("Cannot send test email: no connection!")));
    }

    void connectionRequestsAndStrayCompletions()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        // A Done with neither flag set and no message handed over changes nothing.
        const QString wav = makeCompressedVoice(v, h.outbox(), 5);
        v.OnMailDone();
        QVERIFY(QFile::exists(v.m_voiceFile));
        QVERIFY(!QFile::exists(wav + QStringLiteral(".info")));
        // A second Connect while the first is being made does nothing.
        v.OnConnect();
        v.OnConnect();
        QVERIFY(waitForLog(h, QStringLiteral("Connected.")));
        QTest::qWait(300);
        QCOMPARE(h.log().count(QStringLiteral("Connecting to")), 1);
        // Connected: a Done that no send explains is ignored as well.
        v.OnMailDone();
        QVERIFY(QFile::exists(v.m_voiceFile));
        v.OnCommand(Ids::CmdDisconnect);
        QVERIFY(waitForLog(h, QStringLiteral("Disconnected.")));
        QCOMPARE(v.m_connected, 0);
    }
};

QTEST_MAIN(TestMailRoad)
#include "test_mail_road.moc"
