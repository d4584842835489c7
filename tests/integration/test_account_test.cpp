// The account test of the settings dialog, on real servers, with its result boxes.

#include "mail/account_test.h"
#include "settings/settings_dialog.h"
#include "resources/resource_ids.h"
#include "tests/integration/mail_road_fixture.h"

#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace MailTest;

class TestAccountTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    SmtpServer m_smtp;
    Pop3Server m_pop3;

    AccountTestValues values() const
    {
        AccountTestValues v;
        v.incoming = m_pop3.host();
        v.outgoing = m_smtp.host();
        v.user = QString::fromLatin1(User);
        v.password = QString::fromLatin1(Password);
        v.protocolIndex = 1;
        v.requiresPassword = true;
        return v;
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

    void boxes_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("box");
        QTest::newRow("success") << "" << 0 << "Connection succeeded!\t";
        QTest::newRow("wrong password") << "password" << 20012 << "Error 20012: Invalid password\t";
        QTest::newRow("unknown incoming host") << "incoming" << 11001 << "Error 11001: Host not found: no.such.host.test\t";
        QTest::newRow("outgoing refused") << "outgoing" << 10061 << "Error 10061: ";
        QTest::newRow("smtp without password to a login server") << "smtp" << 20013 << "Error 20013: ";
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
            v.protocolIndex = 0, v.requiresPassword = true;
        ScriptedPrompter prompter;
        QDialog dialog;
        const int result = RunAccountTest(v, prompter, &dialog, std::make_shared<LoopbackResolver>(QSet<QString>{}));
        if (change == QLatin1String("smtp")) {
            // SMTP with "requires password" logs in over STARTTLS like ESMTP does.
            QCOMPARE(result, 0);
            QCOMPARE(prompter.shown, QStringList{QStringLiteral("Connection succeeded!\t")});
            return;
        }
        QCOMPARE(result, code);
        QCOMPARE(prompter.shown.size(), 1);
        QVERIFY2(prompter.shown.first().startsWith(box), qPrintable(prompter.shown.first()));
        QVERIFY(prompter.shown.first().endsWith(QLatin1Char('\t')));
    }

    void settingsTestButtonWaitsPaintingButCannotBeLeft()
    {
        // Through the Settings command, its real dialog and the Test button.
        FormHarness h;
        CTalkpostView &view = h.view();
        MailRoad::startForm(h, m_pop3.host(), m_smtp.host());
        SmtpServer stall;
        REQUIRE_SERVER(stall.start(QStringLiteral("fault:stall")), QStringLiteral("stalling server"));
        bool okDuring = true, cancelDuring = true, visibleAfterEscape = false;
        int ticks = 0;
        h.prompter().onNextDialog([&](QDialog &dialog) {
            auto &settings = static_cast<CSettingsDialog &>(dialog);
            dialog.show();
            settings.m_incoming = stall.host();
            settings.UpdateData(false);
            auto *ok = dialog.findChild<QPushButton *>(QString::number(Ids::ResultOk));
            auto *cancel = dialog.findChild<QPushButton *>(QString::number(Ids::ResultCancel));
            QTimer probe;
            connect(&probe, &QTimer::timeout, &dialog, [&] {
                if (++ticks == 3) {
                    okDuring = ok->isEnabled();
                    cancelDuring = cancel->isEnabled();
                    dialog.close();
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                    visibleAfterEscape = dialog.isVisible();
                }
            });
            probe.start(100);
            // The stalling server is stopped meanwhile, which ends the wait.
            QTimer::singleShot(1500, &dialog, [&] { stall.stop(); });
            dialog.findChild<QPushButton *>(QString::number(Ids::SettingsTestButton))->click();
            probe.stop();
            return int(QDialog::Rejected);
        });
        view.OnCommand(Ids::CmdSettings);
        QVERIFY(ticks >= 3);  // the event loop ran while the test waited
        QVERIFY(!okDuring);
        QVERIFY(!cancelDuring);
        QVERIFY(visibleAfterEscape);
        QCOMPARE(h.prompter().shown.size(), 1);
        QVERIFY2(h.prompter().shown.first().startsWith(QStringLiteral("Error ")), qPrintable(h.prompter().shown.first()));
    }

    void theFormsConnectionIsLeftAlone()
    {
        FormHarness h;
        CTalkpostView &view = h.view();
        MailRoad::startForm(h, m_pop3.host(), m_smtp.host());
        view.OnCommand(Ids::CmdConnect);
        QVERIFY(MailRoad::waitForLog(h, QStringLiteral("Connected.")));
        ScriptedPrompter prompter;
        QCOMPARE(RunAccountTest(values(), prompter, &h.frame()), 0);
        QCOMPARE(view.m_connected, 1);
        // The form's own connection still sends.
        view.m_recipient = QStringLiteral("bob@example.test");
        view.UpdateData(false);
        const int stored = m_smtp.messages().size();
        view.OnCommand(Ids::CmdSend);
        QVERIFY(MailRoad::waitForLog(h, QStringLiteral("Email sent.")));
        QVERIFY(m_smtp.waitForMessages(stored + 1));
    }
};

QTEST_MAIN(TestAccountTest)
#include "test_account_test.moc"
