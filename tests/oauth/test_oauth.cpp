// OAuth2 sign-in: oauth2.conf and the presets, the browser flow with PKCE against a real
// authorization server, tokens in a real secret store, and CMail's token login against
// real POP3 and SMTP servers that check the token with that authorization server.

#include "mail/cmail.h"
#include "mail/mail_errors.h"
#include "oauth/oauth_account.h"
#include "tests/support/oauth/oauth_servers.h"
#include "tests/support/test_files.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using namespace MailTest;
using namespace OAuthTest;

namespace {

// The one answer of the account to a call: "token", "sign in" or "failed", and its text.
QStringList await(OAuthAccount &account, const std::function<void()> &call)
{
    QSignalSpy token(&account, &OAuthAccount::tokenReady), signIn(&account, &OAuthAccount::signInNeeded),
        failed(&account, &OAuthAccount::failed);
    call();
    const auto count = [&] { return token.count() + signIn.count() + failed.count(); };
    if (!QTest::qWaitFor([&] { return count() > 0; }, 20000))
        return {QStringLiteral("no answer")};
    QTest::qWait(50);
    QSignalSpy &spy = !token.isEmpty() ? token : !signIn.isEmpty() ? signIn : failed;
    const QString kind = &spy == &token ? "token" : &spy == &signIn ? "sign in" : "failed";
    return {count() == 1 ? kind : QStringLiteral("several answers"), spy.at(0).at(0).toString()};
}

struct Outcome
{
    int code = -1;
    QString text;
    QStringList trace;
};

// Connects (POP3 1, ESMTP 2) with the token, or with the password when it is empty,
// sends a message over an SMTP connection, and disconnects.
Outcome connectWith(CMail &mail, const QString &host, int protocol, const QString &token)
{
    QSignalSpy done(&mail, &CMail::Done), error(&mail, &CMail::Error), trace(&mail, &CMail::Trace);
    mail.SetHostName(host);
    mail.SetUserName(QString::fromLatin1(User));
    mail.SetPassword(token.isEmpty() ? QString::fromLatin1(Password) : QString());
    mail.SetBearerToken(token);
    mail.SetProtocol(protocol);
    mail.SetAuthenticate(1);
    mail.SetTimeout(10);
    mail.SetDebug(1);
    mail.SetBlocking(false);
    mail.Connect();
    const int events = protocol == 1 ? 1 : 2;
    if (QTest::qWaitFor([&] { return !mail.isBusy(); }, 20000) && events == 2 && error.isEmpty()) {
        mail.SetBlocking(true);
        mail.SetAction(11);
        mail.SetFrom(QStringLiteral("<ann@gmail.com>"));
        mail.SetTo(QStringLiteral("bob@example.test"));
        mail.SetBodyText(0, QStringLiteral("Hello Bob\r\n"));
        mail.SetBlocking(false);
        mail.SetAction(15);
    }
    Outcome o;
    if (QTest::qWaitFor([&] { return done.count() == events || !error.isEmpty(); }, 20000))
        o.code = error.isEmpty() ? 0 : error.at(0).at(0).toInt();
    o.text = error.isEmpty() ? QString() : error.at(0).at(1).toString();
    QTest::qWait(100);  // the last trace lines
    for (const auto &t : trace)
        o.trace << t.at(0).toString();
    mail.SetBlocking(true);
    mail.Disconnect();
    return o;
}

}  // namespace

class TestOAuth : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCa m_ca;
    AuthServer m_auth;
    SmtpServer m_smtp;
    Pop3Server m_pop3;
    UserAgent m_agent;
    OAuthLogin m_login;
    QString m_pop3Host, m_smtpHost;
    CMail m_mail;

private slots:
    void initTestCase()
    {
        // Never the machine's own /etc/orvanto/oauth2.conf.
        qputenv("ORVANTO_OAUTH2_SYSTEM_CONF", m_dir.filePath(QStringLiteral("system-oauth2.conf")).toUtf8());
        REQUIRE_SERVER(m_ca.create(m_dir.path()), QStringLiteral("test CA: ") + m_ca.error);
        qputenv("ORVANTO_CA_FILE", m_ca.caFile.toUtf8());
        REQUIRE_SERVER(m_auth.start(), QStringLiteral("authorization server ") + m_auth.output());
        REQUIRE_SERVER(m_smtp.start(QStringLiteral("auth-tls"), &m_ca, m_auth.introspectionUrl()),
                       QStringLiteral("aiosmtpd ") + m_smtp.output());
        REQUIRE_SERVER(m_pop3.start(m_ca, m_auth.introspectionUrl()), QStringLiteral("dovecot ") + m_pop3.output());
        // The providers' names, reached on 127.0.0.1.
        m_pop3Host = QStringLiteral("pop.gmail.com:%1").arg(m_pop3.port);
        m_smtpHost = QStringLiteral("smtp.gmail.com:%1").arg(m_smtp.port);
        m_mail.setResolver(std::make_shared<LoopbackResolver>(
            QSet<QString>{QStringLiteral("pop.gmail.com"), QStringLiteral("smtp.gmail.com")}));
    }

    // Which profiles sign in with the browser, from their servers and the two files.
    void configChoosesTheRoad_data()
    {
        QTest::addColumn<QString>("servers");  // incoming and outgoing
        QTest::addColumn<QByteArray>("systemIni");
        QTest::addColumn<QByteArray>("userIni");
        QTest::addColumn<QString>("expected");  // road, client ID, token host
        const QByteArray both = "[google]\nclient_id=sys-g\n[microsoft]\nclient_id=sys-m\n";
        QTest::newRow("system file") << "pop.gmail.com:995 smtp.gmail.com:465" << both << QByteArray()
                                     << "2 sys-g oauth2.googleapis.com";
        QTest::newRow("user group replaces the system group")
            << "mail.example.com SMTP-MAIL.Outlook.com." << both
            << QByteArray("[Microsoft]\nclient_id=own\ntoken_url=https://id.example.org/token\n")
            << "2 own id.example.org";
        QTest::newRow("incoming decides") << "outlook.office365.com smtp.gmail.com" << QByteArray() << both
                                          << "2 sys-m login.microsoftonline.com";
        QTest::newRow("no client ID") << "outlook.office365.com:995 -" << QByteArray("[google]\nclient_id=g\n")
                                      << QByteArray() << "1  login.microsoftonline.com";
        QTest::newRow("other servers") << "pop.gmail.com.example.net [::1]:25" << both << QByteArray() << "0  ";
    }

    void configChoosesTheRoad()
    {
        QFETCH(QString, servers);
        QFETCH(QByteArray, systemIni);
        QFETCH(QByteArray, userIni);
        QFETCH(QString, expected);
        QTemporaryDir home;
        const QByteArray savedHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QVERIFY(TestFiles::write(OAuthConfig::systemFile(), systemIni));
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Orvanto")));
        QVERIFY(TestFiles::write(OAuthConfig::userFile(), userIni));
        const OAuthSetup setup = OAuthConfig::load().setupFor(servers.section(' ', 0, 0), servers.section(' ', 1));
        qputenv("XDG_CONFIG_HOME", savedHome);
        QFile::remove(OAuthConfig::systemFile());
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(int(setup.road)).arg(setup.provider.clientId,
                                                                     setup.provider.endpoints.tokenUrl.host()),
                 expected);
        QCOMPARE(setup.notice().contains(QLatin1String("Microsoft")), setup.road == SignInRoad::NoClientId);
    }

    // Sign in once in the browser, then POP3 and SMTP with the token: the servers
    // check it with the authorization server; no password, no token in the trace.
    void signInThenBothStagesWithTheToken()
    {
        QVERIFY(m_auth.writeConfig(OAuthConfig::userFile(), QStringLiteral("google"), QLatin1String(SecretClient),
                                   QLatin1String(ClientSecret)));
        const OAuthSetup setup = OAuthConfig::load().setupFor(m_pop3Host, m_smtpHost);
        QCOMPARE(int(setup.road), int(SignInRoad::Browser));
        m_login = {QStringLiteral("Work mail"), QString::fromLatin1(User), setup.provider};
        QVERIFY(m_auth.setLifetime(30));  // under the renewal margin: later requests renew

        OAuthAccount account(m_agent.opener());
        const QStringList signedIn = await(account, [&] { account.signIn(m_login); });
        QCOMPARE(signedIn[0], QStringLiteral("token"));
        QCOMPARE(m_agent.opened, 1);
        const QUrlQuery asked(m_agent.lastUrl);
        QCOMPARE(asked.queryItemValue(QStringLiteral("code_challenge_method")), QStringLiteral("S256"));
        QCOMPARE(QUrl(asked.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded)).host(),
                 QStringLiteral("127.0.0.1"));

        const int stored = m_smtp.messages().size();
        const Outcome pop3 = connectWith(m_mail, m_pop3Host, 1, signedIn[1]);
        const Outcome smtp = connectWith(m_mail, m_smtpHost, 2, signedIn[1]);
        QCOMPARE(pop3.code, 0);
        QCOMPARE(smtp.code, 0);
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        QVERIFY(m_pop3.log().contains(QLatin1String("user=<ann>, method=XOAUTH2")));
        QVERIFY(m_smtp.output().contains(QLatin1String("AUTH XOAUTH2 user=ann accepted")));
        QVERIFY(!m_smtp.output().contains(QLatin1String("AUTH PLAIN")));
        // Both send the token on its own line after the command, masked.
        const QStringList trace = pop3.trace + smtp.trace;
        QCOMPARE(trace.filter(QRegularExpression(QStringLiteral("^> (AUTH XOAUTH2|\\*\\*\\*\\*)$"))).size(), 4);
        const QByteArray sasl = "user=ann\001auth=Bearer " + signedIn[1].toLatin1() + "\001\001";
        for (const QString &secret : {signedIn[1], QString::fromLatin1(sasl.toBase64().left(24))})
            QVERIFY(trace.filter(secret).isEmpty());
    }

    // The refresh token comes from the secret store; a token the servers refuse is
    // named with their reason; a refused renewal asks for a new sign-in.
    void renewalAndRefusals()
    {
        QVERIFY(!m_login.profile.isEmpty());
        OAuthAccount account(m_agent.opener());  // nothing in memory: only the secret store
        const QStringList first = await(account, [&] { account.requestToken(m_login); });
        QCOMPARE(first[0], QStringLiteral("token"));

        QVERIFY(m_auth.expireAccessTokens());
        const Outcome smtp = connectWith(m_mail, m_smtpHost, 2, first[1]);
        const Outcome pop3 = connectWith(m_mail, m_pop3Host, 1, first[1]);
        QCOMPARE(smtp.code, MailCode::TokenRefused);
        QCOMPARE(smtp.text, QStringLiteral("smtp.gmail.com refused the sign-in token: invalid_token"));
        QCOMPARE(pop3.code, MailCode::TokenRefused);
        QCOMPARE(pop3.text, QStringLiteral("pop.gmail.com refused the sign-in token: 401"));

        account.discardAccessToken(m_login);
        const QStringList renewed = await(account, [&] { account.requestToken(m_login); });
        QCOMPARE(renewed[0], QStringLiteral("token"));
        QVERIFY(renewed[1] != first[1]);
        QCOMPARE(connectWith(m_mail, m_smtpHost, 2, renewed[1]).code, 0);
        int renewals = 0;
        for (const auto &g : m_auth.grants())
            renewals += g[QLatin1String("grant")] == QLatin1String("refresh_token") && !g[QLatin1String("refused")].toBool();
        QCOMPARE(renewals, 2);

        QVERIFY(m_auth.revokeRefreshTokens());
        QCOMPARE(await(account, [&] { account.requestToken(m_login); }),
                 QStringList({"sign in", "Please sign in again: Token has been expired or revoked."}));
        // The dead refresh token has left the store.
        QCOMPARE(await(account, [&] { account.requestToken(m_login); }),
                 QStringList({"sign in", "Please sign in first: no sign-in is kept for ann"}));
        QCOMPARE(m_agent.opened, 1);  // the user was never asked again
    }

    // A browser that hands the server another challenge: the verifier does not match.
    void aWrongVerifierIsRefused()
    {
        QVERIFY(!m_login.profile.isEmpty());
        OAuthAccount account(m_agent.opener());
        m_agent.rewrite = [](QUrl url) {
            QUrlQuery q(url);
            q.removeQueryItem(QStringLiteral("code_challenge"));
            q.addQueryItem(QStringLiteral("code_challenge"), QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
            url.setQuery(q);
            return url;
        };
        QCOMPARE(await(account, [&] { account.signIn(m_login); }),
                 QStringList({"failed", "The sign-in was refused: Code challenge failed."}));
        m_agent.rewrite = nullptr;
    }

    // The token never goes to a server without TLS, even on this machine; the password
    // login of another profile works as before on the same servers.
    void tokenOnlyOverTlsAndPasswordsAsBefore()
    {
        SmtpServer open;
        REQUIRE_SERVER(open.start(QStringLiteral("auth")), QStringLiteral("aiosmtpd without TLS"));
        const Outcome refused = connectWith(m_mail, open.host(), 2, QStringLiteral("some-token"));
        QCOMPARE(refused.code, MailCode::TokenNeedsTls);
        QVERIFY(refused.trace.filter(QStringLiteral("> AUTH")).isEmpty());

        QCOMPARE(connectWith(m_mail, m_pop3.host(), 1, {}).code, 0);
        QCOMPARE(connectWith(m_mail, m_smtp.host(), 2, {}).code, 0);
        QVERIFY(m_pop3.log().contains(QLatin1String("method=PLAIN")));
        QVERIFY(m_smtp.output().contains(QLatin1String("AUTH PLAIN user=ann accepted")));
    }
};

QTEST_GUILESS_MAIN(TestOAuth)
#include "test_oauth.moc"
