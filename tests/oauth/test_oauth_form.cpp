// A Gmail profile through the real form: signed in once from the settings dialog, then
// messages through both stages with tokens; and a password profile in the same run.

#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "tests/support/form_harness.h"
#include "tests/support/oauth/oauth_servers.h"
#include "tests/support/test_files.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace MailTest;
using namespace OAuthTest;

class TestOAuthForm : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    AuthServer m_auth;
    SmtpServer m_smtp;
    Pop3Server m_pop3;
    UserAgent m_agent;

    // Sends what the form holds; the log lines the send added.
    static QString send(FormHarness &h)
    {
        const qsizetype before = h.log().size();
        h.setField(Ids::RecipientCombo, QStringLiteral("bob@example.test"));
        h.view().OnCommand(Ids::CmdSend);
        (void)QTest::qWaitFor([&] { return h.view().delivery().state() == Delivery::State::Disconnected && h.log().size() > before + 40; }, 30000);
        return h.log().mid(before);
    }

private slots:
    void initTestCase()
    {
        qputenv("ORVANTO_OAUTH2_SYSTEM_CONF", m_dir.filePath(QStringLiteral("none.conf")).toUtf8());
        REQUIRE_SERVER(m_ca.create(m_dir.path()), QStringLiteral("test CA: ") + m_ca.error);
        qputenv("ORVANTO_CA_FILE", m_ca.caFile.toUtf8());
        REQUIRE_SERVER(m_auth.start(), QStringLiteral("authorization server ") + m_auth.output());
        REQUIRE_SERVER(m_smtp.start(QStringLiteral("auth-tls"), &m_ca, m_auth.introspectionUrl()), "aiosmtpd");
        REQUIRE_SERVER(m_pop3.start(m_ca, m_auth.introspectionUrl()), QStringLiteral("dovecot ") + m_pop3.output());
        QVERIFY(m_auth.writeConfig(OAuthConfig::userFile(), QStringLiteral("google")));
    }

    void signInOnceThenTokensOnly()
    {
        FormHarness h;
        // No password: the hosts are Google's, the login the test servers' user.
        const Profile gmail(Account{"Gmail", QStringLiteral("pop.gmail.com:%1").arg(m_pop3.port),
                                    QStringLiteral("smtp.gmail.com:%1").arg(m_smtp.port), MailProtocol::Esmtp, User, {}, {}, 0, 0, false, false});
        h.useProfile(gmail);
        CTalkpostView &v = h.view();
        v.OnInitialUpdate();
        v.OnTimer(Ids::TimerStartupMessage);
        v.mail().setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{"pop.gmail.com", "smtp.gmail.com"}));
        v.delivery().setBrowserOpener(m_agent.opener());

        // The settings dialog offers the sign-in for these servers; its button signs in.
        bool offered = false;
        h.prompter().onNextDialog([&](QDialog &d) {
            auto *button = d.findChild<QPushButton *>(QStringLiteral("signInButton"));
            offered = !button->isHidden();
            button->click();
            (void)QTest::qWaitFor([&] { return !h.prompter().shown.isEmpty(); }, 20000);
            return int(QDialog::Rejected);
        });
        v.OnCommand(Ids::CmdSettings);
        QVERIFY(offered && m_agent.opened == 1 && h.prompter().shown == QStringList{"Signed in: messages go through Google without a password."});

        // No password is asked for; both stages log in with the token.
        QVERIFY(send(h).contains("Email sent.") && m_pop3.log().contains("user=<ann>, method=XOAUTH2")
                && m_smtp.output().contains("AUTH XOAUTH2 user=ann accepted"));
        // Expired at the servers: renewed with the kept sign-in, without the browser.
        QVERIFY(m_auth.expireAccessTokens() && send(h).contains("Email sent.") && m_agent.opened == 1);

        // The token is nowhere: not in the log, the settings file or profiles.bin.
        TokenSource &tokens = v.delivery().signIn();
        QSignalSpy ready(&tokens, &TokenSource::tokenReady);
        tokens.requestToken({gmail.name, gmail.user, OAuthConfig::load().setupFor(gmail.incoming, {}).provider});
        QVERIFY(ready.wait(10000));
        const QByteArray token = ready.first().first().toString().toLatin1();
        for (const QByteArray &stored : {h.log().toLatin1(), TestFiles::read(SettingsStore::location()),
                                         TestFiles::read(h.programFolder() + QStringLiteral("/profiles.bin"))})
            QVERIFY(!stored.contains(token) && !stored.contains("Bearer"));

        // A renewal the provider refuses asks for a new sign-in in one line.
        QVERIFY(m_auth.revokeRefreshTokens() && m_auth.expireAccessTokens());
        const QString refused = send(h);
        QVERIFY2(refused.contains("\nPlease sign in again: ") && !refused.contains("Email sent."), qPrintable(refused));

        // A password profile of the same run sends as it always did.
        v.setAccount({"Ann", m_pop3.host(), m_smtp.host(), MailProtocol::Esmtp, User, Password, {}, 0, 0, false, false});
        QVERIFY(send(h).contains("Email sent."));
    }
};

QTEST_MAIN(TestOAuthForm)
#include "test_oauth_form.moc"
