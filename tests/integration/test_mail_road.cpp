// The road of a voice message through the form against real servers: POP3 login,
// the outgoing connection, compression, the message, "Email sent.", the record, the
// reset and "Disconnected."; then a second message without the POP3 stage. Every fault
// on the way ends in one error line and a retry that succeeds. The account test of the
// settings dialog, with its result boxes.

#include "mail/account_test.h"
#include "records/recipient_history.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/integration/mail_road_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

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

QJsonObject part(const QJsonObject &message, int index)
{
    return message.value("parts").toArray().at(index).toObject();
}

bool enabled(FormHarness &h, int command)
{
    return h.frame().action(command)->isEnabled();
}

}  // namespace

class TestMailRoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;
    Pop3Server m_pop3;

    // The settings dialog's account for the account test: ESMTP with a password.
    Account values() const
    {
        Account a;
        a.incoming = m_pop3.host();
        a.outgoing = m_smtp.host();
        a.user = QString::fromLatin1(User);
        a.password = QString::fromLatin1(Password);
        a.protocol = MailProtocol::Esmtp;
        a.requirePass = true;
        return a;
    }

    // Runs Send (or the test e-mail) and returns the one message the server stored,
    // read strictly, once the form has disconnected; "error" says what went wrong.
    QJsonObject sendAndRead(CTalkpostView &v, int command = Ids::CmdSend)
    {
        const int count = m_smtp.messages().size();
        v.OnCommand(command);
        if (!m_smtp.waitForMessages(count + 1, 30000) || m_smtp.messages().size() != count + 1)
            return {{"error", QStringLiteral("%1 new messages").arg(m_smtp.messages().size() - count)}};
        if (!QTest::qWaitFor([&v] { return v.delivery().state() == Delivery::State::Disconnected; }, 15000))
            return {{"error", QStringLiteral("still connected")}};
        return checkMessage(m_smtp.messages().last());
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
        v.OnCommand(Ids::CmdTraceInfo);
        h.setField(Ids::BodyEdit, QStringLiteral("Hello,\n\nlisten to this.\n\nAnn"));
        const QString raw = prepareMessage(h, QStringLiteral("bob@example.test"), 1, 3);
        const QString wav = QString(raw).replace(QStringLiteral(".pcm"), QStringLiteral(".wav"));
        QStringList panes;
        connect(h.frame().statusPane(), &StatusPane::paneTextChanged, &v, [&panes](const QString &t) { panes << t; });
        const QJsonObject o = sendAndRead(v);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString() + h.log()));
        QVERIFY(waitForLog(h, QStringLiteral("Disconnected.")));
        QCOMPARE(panes.filter(QRegularExpression(QStringLiteral("^(Compressing|Sending|Idle)$"))).join(QLatin1Char(',')),
                 QStringLiteral("Compressing,Sending,Idle"));
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
        QVERIFY(log.count(QStringLiteral("Connected.")) == 1 && !log.contains(QStringLiteral("\nError ")));
        // The trace showed the POP3 login and the outgoing login, never the password.
        QVERIFY(log.contains(QStringLiteral("Trace: > CAPA")) && log.contains(QStringLiteral("Trace: < 235")));
        QVERIFY(!log.contains(QString::fromLatin1(Password)));

        // The stored message carries the voice file byte for byte, then the text.
        QCOMPARE(o.value("parts").toArray().size(), 2);
        QCOMPARE(part(o, 0).value("type").toString() + ' ' + part(o, 0).value("filename").toString(),
                 QStringLiteral("audio/basic orv1039000001.wav"));
        QVERIFY(part(o, 0).value("size").toInt() > 3 * 1625 - 65);  // GSM: 1,625 bytes a second
        QCOMPARE(part(o, 0).value("md5").toString(), md5(read(wav)));
        QVERIFY(part(o, 1).value("text").toString().startsWith(QStringLiteral("Hello,\r\n\r\nlisten to this.")));
        QVERIFY(part(o, 1).value("text").toString().contains(QStringLiteral("support@orvanto.example")));
        const QJsonObject headers = o.value("headers").toObject();
        QVERIFY(QRegularExpression(QStringLiteral("^<\\d+TAVEMAIL@example\\.test>$"))
                    .match(headers.value("Message-ID").toString()).hasMatch());
        QCOMPARE(headers.value("Reply-To").toString(), QStringLiteral("ann@example.test"));
        QCOMPARE(envelopeTo(m_smtp.messages().last()).size(), 1);

        // Delivered: the recording is gone, the form is new, the recipient joined the
        // history and the To box; the commands follow the connection with no menu opened.
        QVERIFY(!QFile::exists(raw) && v.recorder().recordingFile().isEmpty() && !v.IsMessageLocked());
        QVERIFY(h.field(Ids::RecipientCombo).isEmpty() && h.field(Ids::AttachmentsEdit).isEmpty());
        QVERIFY(enabled(h, Ids::CmdConnect) && !enabled(h, Ids::CmdDisconnect));
        QCOMPARE(RecipientHistory(h.programFolder()).entries(), QStringList{QStringLiteral("bob@example.test")});
        QCOMPARE(h.view().findChild<QComboBox *>(QString::number(Ids::RecipientCombo))->findText("bob@example.test"), 0);

        // The second message of the run goes straight to the outgoing server.
        v.OnCommand(Ids::CmdTraceInfo);
        const QString wav2 = prepareMessage(h, QStringLiteral("Carl <carl@example.test>; dan@example.test"), 2)
                                 .replace(QStringLiteral(".pcm"), QStringLiteral(".wav"));
        QSignalSpy trace(&v.mail(), &CMail::Trace);
        const QJsonObject o2 = sendAndRead(v);
        QCOMPARE(part(o2, 0).value("md5").toString(), md5(read(wav2)));
        QString traced;
        for (const auto &t : trace)
            traced += t.at(0).toString() + QLatin1Char('\n');
        QVERIFY(!traced.contains(QStringLiteral("> CAPA")));
        QCOMPARE(traced.count(QStringLiteral("> EHLO")), 2);  // before and after STARTTLS
        QCOMPARE(envelopeTo(m_smtp.messages().last()).size(), 2);
        // Each record holds its own recipient text, written once; the list shows its first word.
        QCOMPARE(read(wav2 + QStringLiteral(".info")), QByteArray("Carl <carl@example.test>; dan@example.test"));
        QCOMPARE(recordedMessages(h), (QStringList{QStringLiteral("orv1039000001.wav|bob@example.test"),
                                                    QFileInfo(wav2).fileName() + QStringLiteral("|Carl")}));
    }

    void headersCannotBeInjectedAndNonAsciiComesBack()
    {
        FormHarness h;
        startForm(h, m_pop3.host(), m_smtp.host());
        // Typed with line breaks, as a paste can bring them.
        const QString body = QStringLiteral("Schöne Grüße,\nAnn ") + QString(200, QChar(0x00fc));
        const std::pair<int, QString> typed[] = {
            {Ids::RecipientCombo, QStringLiteral("bob@example.test\r\nBcc: eve@example.test")},
            {Ids::CcEdit, QStringLiteral("Jürgen <juergen@example.test>\nX-Evil: 1")},
            {Ids::SubjectEdit, QStringLiteral("Grüße aus Köln\r\nX-Evil: 2 ") + QString(60, QChar(0x00e9))},
            {Ids::PhoneEdit, QStringLiteral("555\r\nX-Evil: 3")}, {Ids::BodyEdit, body}};
        for (const auto &[id, text] : typed)
            h.setField(id, text);
        const QJsonObject o = sendAndRead(h.view());
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QVERIFY(o.value("max_line").toInt() <= 78);
        QCOMPARE(o.value("type").toString(), QStringLiteral("text/plain"));
        const QJsonObject headers = o.value("headers").toObject();
        QVERIFY(!headers.contains("Bcc") && !headers.contains("X-Evil"));
        QCOMPARE(headers.value("Subject").toString(), QStringLiteral("Grüße aus Köln  X-Evil: 2 ") + QString(60, QChar(0x00e9))
                                                          + QStringLiteral(". Phone: 555  X-Evil: 3"));
        QCOMPARE(headers.value("Cc").toString(), QStringLiteral("Jürgen <juergen@example.test>"));
        QCOMPARE(part(o, 0).value("charset").toString() + ' ' + part(o, 0).value("encoding").toString(),
                 QStringLiteral("utf-8 quoted-printable"));
        QVERIFY(part(o, 0).value("text").toString().startsWith(QString(body).replace(QStringLiteral("\n"), QStringLiteral("\r\n"))));
        QCOMPARE(envelopeTo(m_smtp.messages().last()),
                 (QJsonArray{QStringLiteral("bob@example.test"), QStringLiteral("juergen@example.test")}));
    }

    void aMessageBeingSentIsLocked()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        prepareMessage(h, QStringLiteral("bob@example.test"), 3);
        QWidget *from = v.findChild<QWidget *>(QString::number(Ids::ProfileCombo));
        // Checked while the message is on its way: at its first progress report.
        bool checked = false, lockShown = false;
        connect(&v.mail(), &CMail::Progress, &v, [&] {
            if (std::exchange(checked, true))
                return;
            lockShown = v.IsMessageLocked() && !enabled(h, Ids::CmdNew) && !enabled(h, Ids::CmdSettings)
                        && !v.IsButtonEnabled(Ids::RecButton) && !from->isEnabled();
            // Commands that would reset or resend the message are refused with one line each.
            for (int command : {Ids::CmdNew, Ids::CmdSend, Ids::CmdTechSupport})
                v.OnCommand(command);
        });
        const QJsonObject o = sendAndRead(v);
        QVERIFY2(!o.contains("error") && checked && lockShown, qPrintable(o.value("error").toString()));
        QCOMPARE(h.log().count(QStringLiteral("Please wait: the message is being compressed or sent.")), 3);
        QVERIFY(!v.IsMessageLocked() && enabled(h, Ids::CmdNew) && v.IsButtonEnabled(Ids::RecButton) && from->isEnabled());
        QCOMPARE(envelopeTo(m_smtp.messages().last()), QJsonArray{QStringLiteral("bob@example.test")});
    }

    // Connect requests and completions that no send explains, the account test on a
    // mail control of its own, then the test e-mail over the form's connection, which
    // leaves the form's message alone.
    void strayRequestsTheAccountTestAndTheTestMailLeaveTheMessageAlone()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        const QString raw = prepareMessage(h, QStringLiteral("bob@example.test"), 5);
        h.setField(Ids::SubjectEdit, QStringLiteral("kept"));
        emit v.mail().Done();
        v.OnCommand(Ids::CmdConnect);
        v.OnCommand(Ids::CmdConnect);  // while the first is being made: nothing more
        QVERIFY2(waitForLog(h, QStringLiteral("Connected.")), qPrintable(h.log()));
        emit v.mail().Done();
        QVERIFY(!enabled(h, Ids::CmdConnect) && enabled(h, Ids::CmdDisconnect) && enabled(h, Ids::CmdTestMail));
        ScriptedPrompter prompter;
        QCOMPARE(RunAccountTest(values(), prompter, &h.frame()), 0);
        QVERIFY(v.delivery().isConnected());
        QString offered;
        h.prompter().onNextDialog([&](QDialog &d) {
            auto *edit = d.findChild<QLineEdit *>(QString::number(Ids::TestEmailEdit));
            offered = edit->text();
            edit->setText(QStringLiteral("tester@example.test"));
            return int(QDialog::Accepted);
        });
        const QJsonObject o = sendAndRead(v, Ids::CmdTestMail);
        QCOMPARE(o.value("headers").toObject().value("Subject").toString(), QStringLiteral("test"));
        QCOMPARE(part(o, 0).value("text").toString().trimmed(), QStringLiteral("test message"));
        QCOMPARE(envelopeTo(m_smtp.messages().last()), QJsonArray{QStringLiteral("tester@example.test")});
        QCOMPARE(offered, QStringLiteral("ann@127.0.0.1"));
        const QString log = h.log();
        QVERIFY(log.count(QStringLiteral("Connecting to")) == 1 && log.count(QStringLiteral("Email sent.")) == 1);
        QVERIFY(!log.mid(log.indexOf(QStringLiteral("Sending test email..."))).contains(QStringLiteral("New email.")));
        QVERIFY(h.field(Ids::SubjectEdit) == QStringLiteral("kept") && h.field(Ids::AttachmentsEdit).isEmpty());
        QVERIFY(v.recorder().recordingFile() == raw && QFile::exists(raw));
        v.OnCommand(Ids::CmdTestMail);
        QVERIFY(h.log().contains(QStringLiteral("Cannot send test email: no connection!")));
    }

    void everyFaultEndsInOneErrorAndTheRetrySucceeds_data()
    {
        QTest::addColumn<QString>("server");  // a mode of the test server, a host, or how the message fails
        QTest::addColumn<QString>("line");    // how the one error line starts
        const std::pair<const char *, const char *> rows[] = {
            {"fault:greet554", "Error 554: 554 5.3.2 No service for you"},
            {"wrong password", "Error 20012: 535 "},
            {"fault:mail451", "Error 451: 451 4.3.0 Mail server temporarily rejected message"},
            {"fault:rcpt550", "Error 550: 550 5.1.1 <nobody@example.test>: Recipient address rejected"},
            {"fault:data552", "Error 552: 552 5.3.4 Message size exceeds fixed limit"},
            {"fault:drop-data", "Error "},
            {"fault:stall", "Error 10060: "},
            {"refused", "Error 10061: "},
            {"no.such.host.test", "Error 11001: Host not found: no.such.host.test"},
            {"bad-cert", "Error 60: "},
            // An attachment that exists but cannot be read stops the composition.
            {"unreadable attachment", "The message was not sent: "}};
        for (const auto &[server, line] : rows)
            QTest::newRow(server) << QString::fromLatin1(server) << QString::fromLatin1(line);
    }

    void everyFaultEndsInOneErrorAndTheRetrySucceeds()
    {
        QFETCH(QString, server);
        QFETCH(QString, line);
        SmtpServer fault;
        QString host = server.contains(QLatin1Char(' ')) ? m_smtp.host() : server;
        if (server == QLatin1String("refused"))
            host = QStringLiteral("127.0.0.1:%1").arg(freePort());
        if (server.startsWith(QLatin1String("fault:")) || server == QLatin1String("bad-cert")) {
            REQUIRE_SERVER(fault.start(server, &m_ca), server);
            host = fault.host();
        }
        FormHarness h;
        CTalkpostView &v = h.view();
        v.mail().setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{}));
        startForm(h, m_pop3.host(), host);
        v.setMailTimeout(2);
        if (server == QLatin1String("wrong password")) {
            // The POP3 login of this run is done with the right password first.
            v.OnCommand(Ids::CmdConnect);
            QVERIFY(waitForLog(h, QStringLiteral("Connected.")));
            v.OnCommand(Ids::CmdDisconnect);
            QVERIFY(waitForLog(h, QStringLiteral("Disconnected.")));
            useOutgoing(v, host, QStringLiteral("wrong"));
        }
        const QDir outbox(h.outbox());
        const QString notes = outbox.filePath(QStringLiteral("notes.txt")) + QLatin1Char(','), folder = outbox.filePath("dir");
        QVERIFY(TestFiles::write(notes.chopped(1), "my notes\r\n") && outbox.mkdir(QStringLiteral("dir")));
        const QString attachments = server == QLatin1String("unreadable attachment") ? notes + "x;" + folder + ',' : notes;
        const QString raw = prepareMessage(h, QStringLiteral("bob@example.test"), 6);
        const QByteArray recording = read(raw);
        h.setField(Ids::AttachmentsEdit, attachments);
        const int count = m_smtp.messages().size();
        v.OnCommand(Ids::CmdSend);
        const QRegularExpression failure(QStringLiteral("^(Error -?\\d+|The message was not sent): .*$"),
                                         QRegularExpression::MultilineOption);
        QVERIFY2(QTest::qWaitFor([&] { return h.log().contains(failure); }, 30000), qPrintable(h.log()));
        QTRY_VERIFY(!v.delivery().isConnected() && !v.mail().isBusy());
        const QString log = h.log();
        QCOMPARE(log.count(failure), 1);
        QVERIFY2(failure.match(log).captured().startsWith(line), qPrintable(log));
        QVERIFY(!log.contains(QStringLiteral("Email sent.")) && m_smtp.messages().size() == count);

        // The recording is the same 16-bit file as before the send, byte for byte, and
        // playable; the user's files stay attached, the voice file does not.
        QVERIFY(v.recorder().recordingFile() == raw && read(raw) == recording);
        QVERIFY(v.IsButtonEnabled(Ids::PlayButton) && !v.IsMessageLocked());
        QVERIFY(!v.IsTimerActive(Ids::TimerProgressDisplay));
        QCOMPARE(h.field(Ids::AttachmentsEdit), attachments);

        // The next Send, to a server that works, compresses the recording again and
        // delivers its whole voice.
        useOutgoing(v, m_smtp.host(), QString::fromLatin1(Password));
        h.setField(Ids::AttachmentsEdit, notes);
        const QJsonObject o = sendAndRead(v);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString() + h.log()));
        QCOMPARE(o.value("parts").toArray().size(), 3);  // notes, voice, text
        QCOMPARE(part(o, 1).value("size").toInt(), 60 + 2 * 8000 / 320 * 65);  // 2 s of GSM after its header
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
        Account v = values();
        if (change == QLatin1String("password"))
            v.password = QStringLiteral("wrong");
        else if (change == QLatin1String("incoming"))
            v.incoming = QStringLiteral("no.such.host.test");
        else if (change == QLatin1String("outgoing"))
            v.outgoing = QStringLiteral("127.0.0.1:%1").arg(freePort());
        else if (change == QLatin1String("smtp"))
            v.protocol = MailProtocol::Smtp;
        ScriptedPrompter prompter;
        QDialog dialog;
        QCOMPARE(RunAccountTest(v, prompter, &dialog, std::make_shared<LoopbackResolver>(QSet<QString>{})), code);
        QCOMPARE(prompter.shown.size(), 1);
        QVERIFY2(prompter.shown.first().startsWith(box) && prompter.shown.first().endsWith(QLatin1Char('\t')),
                 qPrintable(prompter.shown.first()));
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
};

QTEST_MAIN(TestMailRoad)
#include "test_mail_road.moc"
