// The road of a voice message through the form against real servers: POP3 login,
// the outgoing connection, the message, "Email sent.", the record, the reset and
// "Disconnected."; then a second message without the POP3 stage. Every fault on the
// way ends in one error line and a retry that succeeds. The account test of the
// settings dialog, with its result boxes.

#include "mail/account_test.h"
#include "records/recipient_history.h"
#include "resources/resource_ids.h"
#include "settings/settings_dialog.h"
#include "shell/main_frame.h"
#include "shell/status_pane.h"
#include "tests/integration/mail_road_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <utility>

using namespace MailTest;
using namespace MailRoad;
using TestFiles::read;

namespace {

// The rows of the Recorded Messages dialog as "file|sent to", opened by its command.
QStringList recordedMessages(FormHarness &h)
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

QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// The envelope recipients the server stored with the message.
QJsonArray envelopeTo(QString eml)
{
    return QJsonDocument::fromJson(read(eml.replace(QStringLiteral(".eml"), QStringLiteral(".json"))))
        .object().value("to").toArray();
}

}  // namespace

class TestMailRoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;
    Pop3Server m_pop3;

    // The settings dialog's values for the account test: ESMTP with a password.
    AccountTestValues values() const
    {
        return {m_pop3.host(), m_smtp.host(), QString::fromLatin1(User), QString::fromLatin1(Password), 1, true};
    }

private slots:
    void initTestCase()
    {
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
        v.m_body = QStringLiteral("Hello,\r\n\r\nlisten to this.\r\n\r\nAnn");
        v.UpdateData(false);
        // A recording as Stop leaves it; Send compresses it through the real job.
        const QString raw = makeRecording(h.outbox(), 3, 1);
        v.m_recordingFile = raw;
        const QString wav = QString(raw).replace(QStringLiteral(".pcm"), QStringLiteral(".wav"));
        const int stored = m_smtp.messages().size();
        QStringList paneTexts;
        connect(h.frame().statusPane(), &StatusPane::paneTextChanged, &v,
                [&paneTexts](const QString &text) { paneTexts << text; });
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Disconnected.")), qPrintable(h.log()));
        QVERIFY2(paneTexts.contains(QStringLiteral("Compressing")) && paneTexts.contains(QStringLiteral("Sending"))
                     && paneTexts.last() == QStringLiteral("Idle"),
                 qPrintable(paneTexts.join(QLatin1Char(','))));
        const QString log = h.log();
        int at = 0;
        for (const QString &line : {QStringLiteral("Connecting to ") + m_smtp.host() + QStringLiteral("..."),
                                    QStringLiteral("Connected."), QStringLiteral("Compressing..."),
                                    QStringLiteral("Compression complete."), QStringLiteral("From: <ann@example.test>"),
                                    QStringLiteral("To:    bob@example.test"), QStringLiteral("Attaching ") + wav,
                                    QStringLiteral("Email sent."), QStringLiteral("Sending elapsed time: "),
                                    QStringLiteral("New email."), QStringLiteral("Disconnected.")}) {
            at = log.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable(line + QStringLiteral("\n---\n") + log));
        }
        QCOMPARE(log.count(QStringLiteral("Connected.")), 1);
        QCOMPARE(log.count(QRegularExpression(QStringLiteral("^Error "), QRegularExpression::MultilineOption)), 0);
        // The trace showed the POP3 login and the outgoing login, never the password.
        QVERIFY(log.contains(QStringLiteral("Trace: > CAPA")) && log.contains(QStringLiteral("Trace: < 235")));
        QVERIFY(!log.contains(QString::fromLatin1(Password)));

        // The stored message, read strictly, carries the voice file byte for byte.
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        const QJsonObject o = checkMessage(m_smtp.messages().last());
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        const QJsonArray parts = o.value("parts").toArray();
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].toObject().value("type").toString(), QStringLiteral("audio/basic"));
        QCOMPARE(parts[0].toObject().value("filename").toString(), QStringLiteral("orv1039000001.wav"));
        QVERIFY(parts[0].toObject().value("size").toInt() > 3 * 1625 - 65);  // GSM: 1,625 bytes a second
        QCOMPARE(parts[0].toObject().value("md5").toString(), md5(read(wav)));
        const QString text = parts[1].toObject().value("text").toString();
        QVERIFY(text.startsWith(QStringLiteral("Hello,\r\n\r\nlisten to this.")));
        QVERIFY(text.contains(QStringLiteral("support@orvanto.example")));
        const QJsonObject headers = o.value("headers").toObject();
        QVERIFY(QRegularExpression(QStringLiteral("^<\\d+TAVEMAIL@example\\.test>$"))
                    .match(headers.value("Message-ID").toString()).hasMatch());
        QCOMPARE(headers.value("Reply-To").toString(), QStringLiteral("ann@example.test"));
        QCOMPARE(envelopeTo(m_smtp.messages().last()).size(), 1);

        // Delivered: the recording is gone, the record names the recipient, the form is new,
        // the recipient joined the history and the To box, and the voice file is listed.
        QVERIFY(!QFile::exists(raw));
        QCOMPARE(read(wav + QStringLiteral(".info")), QByteArray("bob@example.test"));
        QVERIFY(v.m_infoFile.isEmpty() && v.m_recipient.isEmpty() && v.m_attachmentsEdit->text().isEmpty());
        QVERIFY(!v.m_connected && !v.IsMessageLocked());
        QCOMPARE(RecipientHistory(h.programFolder()).recipients(), QStringList{QStringLiteral("bob@example.test")});
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
        QString traced;
        for (const auto &t : trace)
            traced += t.at(0).toString() + QLatin1Char('\n');
        QVERIFY(!traced.contains(QStringLiteral("> CAPA")));
        QCOMPARE(traced.count(QStringLiteral("> EHLO")), 2);  // before and after STARTTLS
        QCOMPARE(envelopeTo(m_smtp.messages().last()).size(), 2);
        QCOMPARE(checkMessage(m_smtp.messages().last()).value("parts").toArray()[0].toObject().value("md5").toString(),
                 md5(read(wav2)));
        // Each record holds its own recipient text; the list shows its first word.
        QCOMPARE(read(wav + QStringLiteral(".info")), QByteArray("bob@example.test"));
        QCOMPARE(read(wav2 + QStringLiteral(".info")), QByteArray("Carl <carl@example.test>; dan@example.test"));
        QCOMPARE(recordedMessages(h), (QStringList{QStringLiteral("orv1039000001.wav|bob@example.test"),
                                                    QFileInfo(wav2).fileName() + QStringLiteral("|Carl")}));
    }

    void headersCannotBeInjectedAndNonAsciiComesBack()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        const int stored = m_smtp.messages().size();
        // The one-line edits drop line breaks themselves; the members carry them as typed.
        // (A line break between addresses only separates them: "Bcc:" there is no address.)
        v.m_recipient = QStringLiteral("bob@example.test\r\n");
        v.m_cc = QStringLiteral("\"Jürgen\nX-Evil: 1\" <juergen@example.test>");
        v.m_subject = QStringLiteral("Grüße aus Köln\r\nX-Evil: 2 ") + QString(60, QChar(0x00e9));
        v.m_phone = QStringLiteral("555\r\nX-Evil: 3");
        const QString body = QStringLiteral("Schöne Grüße,\r\nAnn ") + QString(200, QChar(0x00fc));
        v.m_body = body;
        v.UpdateData(false);
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Disconnected.")), qPrintable(h.log()));
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        const QJsonObject o = checkMessage(m_smtp.messages().last());
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QVERIFY(o.value("max_line").toInt() <= 78);
        QCOMPARE(o.value("type").toString(), QStringLiteral("text/plain"));
        const QJsonObject headers = o.value("headers").toObject();
        QVERIFY(!headers.contains("Bcc") && !headers.contains("X-Evil"));
        QCOMPARE(headers.value("Subject").toString(), QStringLiteral("Grüße aus Köln  X-Evil: 2 ") + QString(60, QChar(0x00e9))
                                                          + QStringLiteral(". Phone: 555  X-Evil: 3"));
        QCOMPARE(headers.value("Cc").toString(), QStringLiteral("\"Jürgen X-Evil: 1\" <juergen@example.test>"));
        const QJsonObject text = o.value("parts").toArray()[0].toObject();
        QCOMPARE(text.value("charset").toString(), QStringLiteral("utf-8"));
        QCOMPARE(text.value("encoding").toString(), QStringLiteral("quoted-printable"));
        QVERIFY(text.value("text").toString().startsWith(body));
        QCOMPARE(envelopeTo(m_smtp.messages().last()),
                 (QJsonArray{QStringLiteral("bob@example.test"), QStringLiteral("juergen@example.test")}));
    }

    void aMessageBeingSentIsLocked()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        v.m_recipient = QStringLiteral("bob@example.test");
        v.UpdateData(false);
        makeCompressedVoice(v, h.outbox(), 3);
        const int stored = m_smtp.messages().size();
        // Checked while the message is on its way: at its first progress report.
        bool checked = false, lockShown = false;
        connect(&v.m_mail, &CMail::Progress, &v, [&] {
            if (std::exchange(checked, true))
                return;
            lockShown = v.IsMessageLocked() && !h.frame().action(Ids::CmdNew)->isEnabled()
                        && !h.frame().action(Ids::CmdSettings)->isEnabled() && !v.IsButtonEnabled(Ids::RecButton)
                        && !v.m_profileCombo->isEnabled();
            // Commands that would reset or resend the message are refused with one line each.
            for (int command : {Ids::CmdNew, Ids::CmdSend, Ids::CmdTechSupport})
                v.OnCommand(command);
        });
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Disconnected.")), qPrintable(h.log()));
        QVERIFY(checked && lockShown);
        QCOMPARE(h.log().count(QStringLiteral("Please wait: the message is being compressed or sent.")), 3);
        QVERIFY(!v.IsMessageLocked() && h.frame().action(Ids::CmdNew)->isEnabled());
        QVERIFY(v.IsButtonEnabled(Ids::RecButton) && v.m_profileCombo->isEnabled());
        QCOMPARE(m_smtp.messages().size(), stored + 1);
        QCOMPARE(envelopeTo(m_smtp.messages().last()), QJsonArray{QStringLiteral("bob@example.test")});
    }

    // An attachment that exists but cannot be read stops the composition; the message
    // and its recording stay for another try.
    void anUnreadableAttachmentKeepsTheMessage()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        const QString folder = QDir(h.programFolder()).filePath(QStringLiteral("a folder not a file"));
        QVERIFY(QDir().mkdir(folder));
        const QString raw = makeRecording(h.outbox(), 2, 4);
        const qint64 rawSize = QFileInfo(raw).size();
        v.m_recordingFile = raw;
        v.m_recipient = QStringLiteral("bob@example.test");
        v.m_attachments = QStringLiteral("x;") + folder + QLatin1Char(',');
        v.UpdateData(false);
        const int stored = m_smtp.messages().size();
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("The message was not sent: ")), qPrintable(h.log()));
        QTRY_VERIFY_WITH_TIMEOUT(!v.m_connected && !v.m_mail.isBusy(), 30000);
        QCOMPARE(m_smtp.messages().size(), stored);
        QCOMPARE(v.m_recordingFile, raw);
        QCOMPARE(QFileInfo(raw).size(), rawSize);  // 16-bit again, whole
        QCOMPARE(v.m_attachmentsEdit->text(), QStringLiteral("x;") + folder + QLatin1Char(','));
        QVERIFY(!v.IsMessageLocked() && v.IsButtonEnabled(Ids::PlayButton));
        QVERIFY(!h.log().contains(QStringLiteral("Email sent.")));
    }

    // Connect requests and completions that no send explains, then the test e-mail,
    // which leaves the form's message alone.
    void strayRequestsAndTheTestMailLeaveTheMessageAlone()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        v.m_recipient = QStringLiteral("bob@example.test");
        v.m_subject = QStringLiteral("kept");
        v.UpdateData(false);
        const QString wav = makeCompressedVoice(v, h.outbox(), 4);
        const QString attachments = v.m_attachmentsEdit->text();
        v.OnMailDone();
        v.OnConnect();
        v.OnConnect();  // while the first is being made: nothing more
        QVERIFY2(waitForLog(h, QStringLiteral("Connected.")), qPrintable(h.log()));
        v.OnMailDone();
        const int stored = m_smtp.messages().size();
        QString offered;
        h.prompter().onNextDialog([&](QDialog &d) {
            auto *edit = d.findChild<QLineEdit *>(QString::number(Ids::TestEmailEdit));
            offered = edit->text();
            edit->setText(QStringLiteral("tester@example.test"));
            return int(QDialog::Accepted);
        });
        v.OnCommand(Ids::CmdTestMail);
        QVERIFY(waitForLog(h, QStringLiteral("Disconnected.")));
        QCOMPARE(offered, QStringLiteral("ann@127.0.0.1"));
        const QString log = h.log();
        QCOMPARE(log.count(QStringLiteral("Connecting to")), 1);
        QCOMPARE(log.count(QStringLiteral("Email sent.")), 1);
        QVERIFY(!log.mid(log.indexOf(QStringLiteral("Sending test email..."))).contains(QStringLiteral("New email.")));
        QCOMPARE(v.m_subject, QStringLiteral("kept"));
        QCOMPARE(v.m_attachmentsEdit->text(), attachments);
        QVERIFY(QFile::exists(v.m_voiceFile));
        QVERIFY(!QFile::exists(wav + QStringLiteral(".info")));
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        const QJsonObject o = checkMessage(m_smtp.messages().last());
        QCOMPARE(o.value("headers").toObject().value("Subject").toString(), QStringLiteral("test"));
        QCOMPARE(o.value("parts").toArray()[0].toObject().value("text").toString().trimmed(), QStringLiteral("test message"));
        QCOMPARE(envelopeTo(m_smtp.messages().last()), QJsonArray{QStringLiteral("tester@example.test")});
        v.OnCommand(Ids::CmdTestMail);
        QVERIFY(h.log().contains(QStringLiteral("Cannot send test email: no connection!")));
    }

    void everyFaultEndsInOneErrorAndTheRetrySucceeds_data()
    {
        QTest::addColumn<QString>("server");  // a mode of the test server, a host, or "password"
        QTest::addColumn<QString>("line");    // how the error line starts; empty: any code
        QTest::newRow("554 greeting") << "fault:greet554" << "Error 554: 554 5.3.2 No service for you";
        QTest::newRow("535 on AUTH") << "password" << "Error 20012: 535 ";
        QTest::newRow("451 on MAIL") << "fault:mail451" << "Error 451: 451 4.3.0 Mail server temporarily rejected message";
        QTest::newRow("550 on RCPT") << "fault:rcpt550"
                                     << "Error 550: 550 5.1.1 <nobody@example.test>: Recipient address rejected";
        QTest::newRow("552 after DATA") << "fault:data552" << "Error 552: 552 5.3.4 Message size exceeds fixed limit";
        QTest::newRow("dropped during DATA") << "fault:drop-data" << "";
        QTest::newRow("stall past the time-out") << "fault:stall" << "Error 10060: ";
        QTest::newRow("refused connection") << QStringLiteral("127.0.0.1:%1").arg(freePort()) << "Error 10061: ";
        QTest::newRow("unknown host") << "no.such.host.test" << "Error 11001: Host not found: no.such.host.test";
        QTest::newRow("bad certificate") << "bad-cert" << "Error 60: ";
    }

    void everyFaultEndsInOneErrorAndTheRetrySucceeds()
    {
        QFETCH(QString, server);
        QFETCH(QString, line);
        SmtpServer fault;
        QString host = server == QLatin1String("password") ? m_smtp.host() : server;
        if (server.startsWith(QLatin1String("fault:")) || server == QLatin1String("bad-cert")) {
            REQUIRE_SERVER(fault.start(server, &m_ca), server);
            host = fault.host();
        }
        FormHarness h;
        CTalkpostView &v = h.view();
        v.m_mail.setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{}));
        startForm(h, m_pop3.host(), host);
        v.m_timeoutSeconds = 2;
        if (server == QLatin1String("password")) {
            // The POP3 login of this run is done with the right password first.
            v.OnCommand(Ids::CmdConnect);
            QVERIFY(waitForLog(h, QStringLiteral("Connected.")));
            v.OnCommand(Ids::CmdDisconnect);
            QVERIFY(waitForLog(h, QStringLiteral("Disconnected.")));
            v.m_account.password = QStringLiteral("wrong");
        }
        const QString notes = QDir(h.outbox()).filePath(QStringLiteral("notes.txt"));
        QVERIFY(TestFiles::write(notes, "my notes\r\n"));
        v.m_recipient = QStringLiteral("bob@example.test");
        v.m_attachments = notes + QLatin1Char(',');
        v.UpdateData(false);
        makeCompressedVoice(v, h.outbox(), 6);
        const QString raw = v.m_voiceFile;
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Error ")), qPrintable(h.log()));
        QTRY_VERIFY(!v.m_connected && !v.m_mail.isBusy());
        const QString log = h.log();
        const QRegularExpression errorLine(QStringLiteral("^Error -?\\d+: .*$"), QRegularExpression::MultilineOption);
        QCOMPARE(log.count(errorLine), 1);
        QVERIFY2(errorLine.match(log).captured().startsWith(line), qPrintable(log));
        QVERIFY(!log.contains(QStringLiteral("Email sent.")));

        // The recording is back, 16 bits wide again, and playable; the user's file stays.
        QCOMPARE(v.m_recordingFile, raw);
        QCOMPARE(QFileInfo(raw).size(), qint64(2 * 16000));
        QVERIFY(v.IsButtonEnabled(Ids::PlayButton));
        QCOMPARE(v.m_attachmentsEdit->text(), notes + QLatin1Char(','));
        QVERIFY(!v.IsMessageLocked());
        QVERIFY(!v.IsTimerActive(Ids::TimerProgressDisplay));

        // The next Send, to a server that works, compresses the restored recording again
        // and delivers it.
        v.m_account.outgoing = m_smtp.host();
        v.m_account.password = QString::fromLatin1(Password);
        const int stored = m_smtp.messages().size();
        v.OnCommand(Ids::CmdSend);
        QVERIFY2(waitForLog(h, QStringLiteral("Email sent.")), qPrintable(h.log()));
        QVERIFY(h.log().contains(QStringLiteral("Compression complete.")));
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        const QJsonObject o = checkMessage(m_smtp.messages().last());
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QCOMPARE(o.value("parts").toArray().size(), 3);  // notes, voice, text
    }

    void boxes_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("box");
        QTest::newRow("success") << "" << 0 << "Connection succeeded!\t";
        QTest::newRow("wrong password") << "password" << 20012 << "Error 20012: Invalid password\t";
        QTest::newRow("unknown incoming host") << "incoming" << 11001 << "Error 11001: Host not found: no.such.host.test\t";
        QTest::newRow("outgoing refused") << "outgoing" << 10061 << "Error 10061: ";
        // SMTP with "requires password" logs in over STARTTLS like ESMTP does.
        QTest::newRow("smtp with password") << "smtp" << 0 << "Connection succeeded!\t";
    }

    void boxes()
    {
        QFETCH(QString, change);
        QFETCH(int, code);
        QFETCH(QString, box);
        AccountTestValues v = values();
        if (change == QLatin1String("password"))
            v.password = QStringLiteral("wrong");
        else if (change == QLatin1String("incoming"))
            v.incoming = QStringLiteral("no.such.host.test");
        else if (change == QLatin1String("outgoing"))
            v.outgoing = QStringLiteral("127.0.0.1:%1").arg(freePort());
        else if (change == QLatin1String("smtp"))
            v.protocolIndex = 0;
        ScriptedPrompter prompter;
        QDialog dialog;
        QCOMPARE(RunAccountTest(v, prompter, &dialog, std::make_shared<LoopbackResolver>(QSet<QString>{})), code);
        QCOMPARE(prompter.shown.size(), 1);
        QVERIFY2(prompter.shown.first().startsWith(box), qPrintable(prompter.shown.first()));
        QVERIFY(prompter.shown.first().endsWith(QLatin1Char('\t')));
    }

    void settingsTestButtonWaitsPaintingButCannotBeLeft()
    {
        // Through the Settings command, its real dialog and the Test button, against a
        // server that stalls until the checks are made.
        FormHarness h;
        startForm(h, m_pop3.host(), m_smtp.host());
        SmtpServer stall;
        REQUIRE_SERVER(stall.start(QStringLiteral("fault:stall")), QStringLiteral("stalling server"));
        bool clickReturned = false, checkedDuring = false, buttonsHeld = false, visibleAfterEscape = false;
        h.prompter().onNextDialog([&](QDialog &dialog) {
            auto &settings = static_cast<CSettingsDialog &>(dialog);
            dialog.show();
            settings.m_account.incoming = stall.host();
            settings.UpdateData(false);
            auto *ok = dialog.findChild<QPushButton *>(QString::number(Ids::ResultOk));
            auto *cancel = dialog.findChild<QPushButton *>(QString::number(Ids::ResultCancel));
            // Runs inside the test's wait, which keeps the events flowing.
            QTimer::singleShot(20, &dialog, [&, ok, cancel] {
                checkedDuring = !clickReturned;
                buttonsHeld = !ok->isEnabled() && !cancel->isEnabled();
                dialog.close();
                QTest::keyClick(&dialog, Qt::Key_Escape);
                visibleAfterEscape = dialog.isVisible();
                stall.stop();  // ends the wait
            });
            dialog.findChild<QPushButton *>(QString::number(Ids::SettingsTestButton))->click();
            clickReturned = true;
            return int(QDialog::Rejected);
        });
        h.view().OnCommand(Ids::CmdSettings);
        QVERIFY(checkedDuring && buttonsHeld && visibleAfterEscape);
        QCOMPARE(h.prompter().shown.size(), 1);
        QVERIFY2(h.prompter().shown.first().startsWith(QStringLiteral("Error ")), qPrintable(h.prompter().shown.first()));
    }

    void theFormsConnectionIsLeftAlone()
    {
        FormHarness h;
        CTalkpostView &view = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        view.OnCommand(Ids::CmdConnect);
        QVERIFY(waitForLog(h, QStringLiteral("Connected.")));
        ScriptedPrompter prompter;
        QCOMPARE(RunAccountTest(values(), prompter, &h.frame()), 0);
        QCOMPARE(view.m_connected, 1);
        // The form's own connection still sends.
        view.m_recipient = QStringLiteral("bob@example.test");
        view.UpdateData(false);
        const int stored = m_smtp.messages().size();
        view.OnCommand(Ids::CmdSend);
        QVERIFY(waitForLog(h, QStringLiteral("Email sent.")));
        QVERIFY(m_smtp.waitForMessages(stored + 1));
    }
};

QTEST_MAIN(TestMailRoad)
#include "test_mail_road.moc"
