// Voice messages through the form against real servers; every fault ends in one error
// line and a retry that succeeds. The account test of the settings dialog and its boxes.

#include "mail/account_test.h"
#include "records/recipient_history.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "shell/status_pane.h"
#include "tests/integration/mail_road_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <utility>

using namespace MailTest;
using namespace MailRoad;
using TestFiles::read;

namespace {

QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// The envelope recipients the server stored with the message.
QJsonArray envelopeTo(QString eml)
{
    return QJsonDocument::fromJson(read(eml.replace(".eml", ".json"))).object().value("to").toArray();
}

QJsonObject part(const QJsonObject &message, int index) { return message.value("parts").toArray().at(index).toObject(); }

bool enabled(FormHarness &h, int command) { return h.frame().action(command)->isEnabled(); }

}  // namespace

class TestMailRoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;
    Pop3Server m_pop3;

    // Runs the command; the one message the server stored, read strictly once the form disconnected.
    QJsonObject sendAndRead(CTalkpostView &v, int command = Ids::CmdSend, int presses = 1)
    {
        const int count = m_smtp.messages().size();
        for (int i = 0; i < presses; ++i)
            v.OnCommand(command);
        if (!m_smtp.waitForMessages(count + 1, 30000) || m_smtp.messages().size() != count + 1)
            return {{"error", QStringLiteral("%1 new messages").arg(m_smtp.messages().size() - count)}};
        if (!QTest::qWaitFor([&v] { return v.delivery().state() == Delivery::State::Disconnected; }, 15000))
            return {{"error", "still connected"}};
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

    // A run: the first message with POP3, a test e-mail, then a second message without.
    void wholeRoadThenATestMailAndASecondMessage()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        startForm(h, m_pop3.host(), m_smtp.host());
        v.OnCommand(Ids::CmdTraceInfo);
        h.setField(Ids::BodyEdit, "Hello,\n\nlisten to this.\n\nAnn");
        const QString raw = prepareMessage(h, "bob@example.test", 1, 3);
        const QString wav = QString(raw).replace(".pcm", ".wav");
        QStringList panes;
        connect(h.frame().statusPane(), &StatusPane::paneTextChanged, &v, [&panes](const QString &t) { panes << t; });
        const QJsonObject o = sendAndRead(v, Ids::CmdSend, 2);  // the second while the connection is being made
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString() + h.log()));
        QCOMPARE(panes.filter(QRegularExpression("^(Compressing|Sending|Idle)$")), (QStringList{"Compressing", "Sending", "Idle"}));
        const QString log = h.log();
        int at = 0;
        for (const QString &line : QStringList{"Connecting to " + m_smtp.host() + "...", "Please wait: the connection is being made.",
                                               "Connected.", "Compressing...", "From: <ann@example.test>", "To:    bob@example.test",
                                               "Attaching " + wav, "Email sent.", "Sending elapsed time: ", "New email.", "Disconnected."}) {
            at = log.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable(line + "\n---\n" + log));
        }
        QVERIFY(log.count("Connected.") == 1 && !log.contains("\nError ") && !log.contains("Cannot connect to the mail server!"));
        // The trace showed the POP3 login and the outgoing login, never the password.
        QVERIFY(log.contains("Trace: > CAPA") && log.contains("Trace: < 235") && !log.contains(Password));
        // The stored message carries the voice file byte for byte, then the text.
        QCOMPARE(QString::number(o.value("parts").toArray().size()) + ' ' + part(o, 0).value("type").toString() + ' '
                     + part(o, 0).value("filename").toString(), QStringLiteral("2 audio/basic orv1039000001.wav"));
        QCOMPARE(part(o, 0).value("md5").toString(), md5(read(wav)));
        QVERIFY(part(o, 1).value("text").toString().startsWith("Hello,\r\n\r\nlisten to this.")
                && part(o, 1).value("text").toString().contains("support@orvanto.example"));
        const QJsonObject headers = o.value("headers").toObject();
        QVERIFY(QRegularExpression("^<\\d+TAVEMAIL@example\\.test>$").match(headers.value("Message-ID").toString()).hasMatch()
                && headers.value("Reply-To") == "ann@example.test");
        QCOMPARE(envelopeTo(m_smtp.messages().last()), QJsonArray{"bob@example.test"});
        // Delivered: the recording is gone, the form is new, the commands follow the connection.
        QVERIFY(!QFile::exists(raw) && v.recorder().recordingFile().isEmpty() && h.field(Ids::RecipientCombo).isEmpty()
                && h.field(Ids::AttachmentsEdit).isEmpty() && enabled(h, Ids::CmdConnect) && !enabled(h, Ids::CmdDisconnect));
        QCOMPARE(v.findChild<QComboBox *>(QString::number(Ids::RecipientCombo))->findText("bob@example.test"), 0);

        // The second message, as MP3, with fields typed with line breaks, as a paste can
        // bring them, and non-ASCII text.
        StoredSettings mp3 = SettingsStore::load();
        mp3.voiceFormat = 1;
        QVERIFY(SettingsStore::save(mp3).ok());
        v.LoadSettings();
        const QString voice2 = prepareMessage(h, "Carl <carl@example.test>; dan@example.test", 2).replace(".pcm", ".mp3");
        const QString body = "Schöne Grüße,\nAnn " + QString(200, QChar(0x00fc));
        // A line break between addresses only separates them; inside a quoted name it is a blank.
        h.setField(Ids::CcEdit, "\"Jürgen\nX-Evil: 1\" <juergen@example.test>\r\n");
        h.setField(Ids::SubjectEdit, "Grüße aus Köln\r\nX-Evil: 2 " + QString(60, QChar(0x00e9)));
        h.setField(Ids::PhoneEdit, "555\r\nX-Evil: 3");
        h.setField(Ids::BodyEdit, body);
        // Connect (asked twice), the account test on a mail control of its own, then the
        // test e-mail over the form's connection, which leaves the message alone.
        const qsizetype connecting = h.log().size();
        v.OnCommand(Ids::CmdConnect);
        v.OnCommand(Ids::CmdConnect);
        QVERIFY(QTest::qWaitFor([&v] { return v.delivery().isConnected(); }, 30000));
        QVERIFY(!enabled(h, Ids::CmdConnect) && enabled(h, Ids::CmdDisconnect) && enabled(h, Ids::CmdTestMail));
        QCOMPARE(RunAccountTest(testAccount(m_pop3.host(), m_smtp.host()), h.prompter(), &h.frame()), 0);
        QString offered;
        h.prompter().onNextDialog([&](QDialog &d) {
            auto *edit = d.findChild<QLineEdit *>(QString::number(Ids::TestEmailEdit));
            offered = edit->text();
            edit->setText("tester@example.test");
            return int(QDialog::Accepted);
        });
        const QJsonObject test = sendAndRead(v, Ids::CmdTestMail);
        QVERIFY(test.value("headers").toObject().value("Subject") == "test" && part(test, 0).value("text").toString().trimmed() == "test message");
        QVERIFY(envelopeTo(m_smtp.messages().last()) == QJsonArray{"tester@example.test"} && offered == "ann@127.0.0.1");
        const QString testLog = h.log().mid(connecting);
        QVERIFY2(testLog.count("Connecting to") == 1 && testLog.count("Email sent.") == 1 && !testLog.contains("New email."), qPrintable(testLog));
        v.OnCommand(Ids::CmdTestMail);
        QVERIFY(h.log().endsWith("Cannot send test email: no connection!\n"));

        // On its way the message is locked: at the first progress report, commands that
        // would reset or resend it are refused with one line each.
        QWidget *from = v.findChild<QWidget *>(QString::number(Ids::ProfileCombo));
        bool lockShown = false;
        connect(&v.mail(), &CMail::Progress, &v, [&] {
            lockShown = v.IsMessageLocked() && !enabled(h, Ids::CmdNew) && !enabled(h, Ids::CmdSettings)
                        && !v.IsButtonEnabled(Ids::RecButton) && !from->isEnabled();
            for (int command : {Ids::CmdNew, Ids::CmdSend, Ids::CmdTechSupport})
                v.OnCommand(command);
        }, Qt::SingleShotConnection);
        const QJsonObject o2 = sendAndRead(v);
        QVERIFY2(!o2.contains("error") && lockShown, qPrintable(o2.value("error").toString()));
        QCOMPARE(h.log().count("Please wait: the message is being compressed or sent."), 3);
        QVERIFY(!v.IsMessageLocked() && enabled(h, Ids::CmdNew) && v.IsButtonEnabled(Ids::RecButton) && from->isEnabled());
        QCOMPARE(part(o2, 0).value("md5").toString() + part(o2, 0).value("type").toString(), md5(read(voice2)) + "audio/mpeg");
        QVERIFY(o2.value("max_line").toInt() <= 78 && !o2.value("headers").toObject().contains("X-Evil"));
        QCOMPARE(o2.value("headers").toObject().value("Subject").toString(),
                 "Grüße aus Köln  X-Evil: 2 " + QString(60, QChar(0x00e9)) + ". Phone: 555  X-Evil: 3");
        QCOMPARE(o2.value("headers").toObject().value("Cc").toString(), QStringLiteral("\"Jürgen X-Evil: 1\" <juergen@example.test>"));
        QCOMPARE(part(o2, 1).value("charset").toString() + ' ' + part(o2, 1).value("encoding").toString(),
                 QStringLiteral("utf-8 quoted-printable"));
        QVERIFY(part(o2, 1).value("text").toString().startsWith(QString(body).replace("\n", "\r\n")));
        QCOMPARE(envelopeTo(m_smtp.messages().last()), (QJsonArray{"carl@example.test", "dan@example.test", "juergen@example.test"}));
        // The history keeps each address sent to; each record holds its own recipient text, written once.
        QCOMPARE(RecipientHistory(h.programFolder()).recipients(),
                 (QStringList{"bob@example.test", "carl@example.test", "dan@example.test"}));
        QCOMPARE(read(wav + ".info") + '|' + read(voice2 + ".info"),
                 QByteArray("bob@example.test|Carl <carl@example.test>; dan@example.test"));

        // The settings dialog's Test button against a server that stalls until the checks
        // are made: the dialog paints and cannot be left.
        SmtpServer stall;
        REQUIRE_SERVER(stall.start("fault:stall"), QStringLiteral("stalling server"));
        bool clickReturned = false, heldDuring = false;
        h.prompter().onNextDialog([&](QDialog &dialog) {
            auto &settings = static_cast<CSettingsDialog &>(dialog);
            dialog.show();
            settings.m_incomingEdit->setText(stall.host());
            // Runs inside the test's wait, which keeps the events flowing.
            QTimer::singleShot(20, &dialog, [&] {
                dialog.close();
                QTest::keyClick(&dialog, Qt::Key_Escape);
                heldDuring = !clickReturned && !settings.m_okButton->isEnabled() && !settings.m_cancelButton->isEnabled()
                             && dialog.isVisible();
                stall.stop();  // ends the wait
            });
            settings.m_testButton->click();
            clickReturned = true;
            return int(QDialog::Rejected);
        });
        v.OnCommand(Ids::CmdSettings);
        QVERIFY2(heldDuring && h.prompter().shown.size() == 2 && h.prompter().shown[0].startsWith("Connection succeeded!")
                     && h.prompter().shown[1].startsWith("Error "),
                 qPrintable(h.prompter().shown.join('|')));
    }

    void everyFaultEndsInOneErrorAndTheRetrySucceeds_data()
    {
        QTest::addColumn<QString>("server");  // a mode of the test server, a host, or how the message fails
        QTest::addColumn<QString>("line");    // how the one error line starts
        const std::pair<const char *, const char *> rows[] = {
            {"fault:greet554", "Error 554: 554 5.3.2 No service for you"},
            {"wrong password", "Error 20012: 535 "},
            {"fault:rcpt550", "Error 550: 550 5.1.1 <nobody@example.test>: Recipient address rejected"},
            {"fault:data552", "Error 552: 552 5.3.4 Message size exceeds fixed limit"},
            {"fault:drop-data", "Error "},
            {"fault:stall", "Error 10060: "},
            {"refused", "Error 10061: "},
            {"no.such.host.test", "Error 11001: Host not found: no.such.host.test"},
            {"bad-cert", "Error 60: "},
            {"unreadable attachment", "The message was not sent: "}};  // the composition stops
        for (const auto &[server, line] : rows)
            QTest::newRow(server) << QString::fromLatin1(server) << QString::fromLatin1(line);
    }

    void everyFaultEndsInOneErrorAndTheRetrySucceeds()
    {
        QFETCH(QString, server);
        QFETCH(QString, line);
        SmtpServer fault;
        REQUIRE_SERVER(!(server.startsWith("fault:") || server == "bad-cert") || fault.start(server, &m_ca), server);
        const QString host = fault.port ? fault.host() : server == "refused" ? QStringLiteral("127.0.0.1:%1").arg(freePort())
                                                        : server.contains(' ') ? m_smtp.host() : server;
        FormHarness h;
        CTalkpostView &v = h.view();
        v.mail().setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{}));
        startForm(h, m_pop3.host(), host);
        v.setMailTimeout(2);
        if (server == "wrong password") {  // the POP3 login of this run is done with the right password first
            v.OnCommand(Ids::CmdConnect);
            QVERIFY(QTest::qWaitFor([&v] { return v.delivery().isConnected(); }, 30000));
            v.OnCommand(Ids::CmdDisconnect);
            QVERIFY(QTest::qWaitFor([&v] { return v.delivery().state() == Delivery::State::Disconnected; }, 30000));
            useOutgoing(v, host, "wrong");
        }
        const QDir outbox(h.outbox());
        const QString notes = outbox.filePath("notes.txt") + ',';
        QVERIFY(TestFiles::write(notes.chopped(1), "my notes\r\n") && outbox.mkdir("dir"));
        const QString attachments = server == "unreadable attachment" ? notes + "x;" + outbox.filePath("dir") + ',' : notes;
        const QString raw = prepareMessage(h, "bob@example.test", 6);
        const QByteArray recording = read(raw);
        h.setField(Ids::AttachmentsEdit, attachments);
        const int count = m_smtp.messages().size();
        v.OnCommand(Ids::CmdSend);
        const QRegularExpression failure("^(Error -?\\d+|The message was not sent): .*$", QRegularExpression::MultilineOption);
        QVERIFY2(QTest::qWaitFor([&] { return h.log().contains(failure); }, 30000), qPrintable(h.log()));
        QTRY_VERIFY(!v.delivery().isConnected() && !v.mail().isBusy());
        const QString log = h.log();
        QVERIFY2(log.count(failure) == 1 && failure.match(log).captured().startsWith(line) && !log.contains("Email sent.")
                     && m_smtp.messages().size() == count, qPrintable(log));

        // The recording is the same 16-bit file as before the send, byte for byte, and
        // playable; the user's files stay attached, the voice file does not.
        QVERIFY(v.recorder().recordingFile() == raw && read(raw) == recording && v.IsButtonEnabled(Ids::PlayButton)
                && !v.IsMessageLocked() && !v.IsTimerActive(Ids::TimerProgressDisplay));
        QCOMPARE(h.field(Ids::AttachmentsEdit), attachments);

        // The next Send, to a server that works, compresses the recording again and
        // delivers its whole voice, also after a list typed without a separator at its end.
        useOutgoing(v, m_smtp.host(), Password);
        h.setField(Ids::AttachmentsEdit, notes.chopped(1));
        const QJsonObject o = sendAndRead(v);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString() + h.log()));
        QCOMPARE(o.value("parts").toArray().size(), 3);  // notes, voice, text
        QCOMPARE(part(o, 1).value("size").toInt(), 60 + 2 * 8000 / 320 * 65);  // 2 s of GSM after its header
    }

    void boxes_data()
    {
        QTest::addColumn<Account>("account");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("box");
        const auto with = [this](auto field, auto value) { Account a = testAccount(m_pop3.host(), m_smtp.host()); a.*field = value; return a; };
        const QString refused = QStringLiteral("127.0.0.1:%1").arg(freePort());
        QTest::newRow("wrong password") << with(&Account::password, QStringLiteral("wrong")) << 20012 << "Error 20012: Invalid password\t";
        QTest::newRow("unknown incoming host") << with(&Account::incoming, QStringLiteral("no.such.host.test")) << 11001
                                               << "Error 11001: Host not found: no.such.host.test\t";
        QTest::newRow("outgoing refused") << with(&Account::outgoing, refused) << 10061 << "Error 10061: ";
        // With "requires password" SMTP logs in over STARTTLS like ESMTP.
        QTest::newRow("smtp with password") << with(&Account::protocol, MailProtocol::Smtp) << 0 << "Connection succeeded!\t";
    }

    void boxes()
    {
        QFETCH(Account, account);
        QFETCH(QString, box);
        ScriptedPrompter prompter;
        QDialog dialog;
        QTEST(RunAccountTest(account, prompter, &dialog, std::make_shared<LoopbackResolver>(QSet<QString>{})), "code");
        QVERIFY2(prompter.shown.size() == 1 && prompter.shown.first().startsWith(box) && prompter.shown.first().endsWith('\t'),
                 qPrintable(prompter.shown.join('|')));
    }
};

QTEST_MAIN(TestMailRoad)
#include "test_mail_road.moc"
