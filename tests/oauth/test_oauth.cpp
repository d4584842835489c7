// OAuth2 sign-in: oauth2.conf and the presets, the browser flow with PKCE against a real
// authorization server, tokens in a real secret store, and CMail's token login against
// real POP3 and SMTP servers that check the token with that authorization server.

#include "mail/cmail.h"
#include "mail/mail_errors.h"
#include "oauth/oauth_account.h"
#include "oauth/oauth_config.h"
#include "tests/support/oauth/oauth_servers.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace MailTest;
using namespace OAuthTest;

namespace {

struct Answer
{
    QString kind;  // "token", "sign in" or "failed"
    QString text;
};

Answer await(OAuthAccount &account, const std::function<void()> &call)
{
    QSignalSpy token(&account, &OAuthAccount::tokenReady), signIn(&account, &OAuthAccount::signInNeeded),
        failed(&account, &OAuthAccount::failed);
    call();
    if (!QTest::qWaitFor([&] { return token.count() + signIn.count() + failed.count() > 0; }, 20000))
        return {QStringLiteral("none"), {}};
    QTest::qWait(50);  // exactly one answer
    if (token.count() + signIn.count() + failed.count() != 1)
        return {QStringLiteral("several"), {}};
    if (!token.isEmpty())
        return {QStringLiteral("token"), token.at(0).at(0).toString()};
    if (!signIn.isEmpty())
        return {QStringLiteral("sign in"), signIn.at(0).at(0).toString()};
    return {QStringLiteral("failed"), failed.at(0).at(0).toString()};
}

struct Outcome
{
    int code = -1;
    QString text;
    QStringList trace;
};

// One non-blocking Connect (and a message when asked) with the trace on.
Outcome connectWith(CMail &mail, const QString &host, int protocol, const QString &token, bool sendMessage = false)
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
    if (sendMessage) {
        mail.SetBlocking(true);
        mail.SetAction(11);
        mail.SetFrom(QStringLiteral("<ann@gmail.com>"));
        mail.SetTo(QStringLiteral("bob@example.test"));
        mail.SetSubject(QStringLiteral("hello"));
        mail.SetBodyText(0, QStringLiteral("Hello Bob\r\n"));
        mail.SetBlocking(false);
        (void)QTest::qWaitFor([&] { return !mail.isBusy(); }, 20000);
        if (done.count() == 1)
            mail.SetAction(15);
    }
    const int events = sendMessage ? 2 : 1;
    (void)QTest::qWaitFor([&] { return done.count() + error.count() >= events || !error.isEmpty(); }, 20000);
    Outcome o;
    o.code = error.isEmpty() ? (done.count() == events ? 0 : -1) : error.at(0).at(0).toInt();
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

    // CMail reaches the providers' names on 127.0.0.1.
    static void useLoopback(CMail &mail)
    {
        mail.setResolver(std::make_shared<LoopbackResolver>(
            QSet<QString>{QStringLiteral("pop.gmail.com"), QStringLiteral("smtp.gmail.com")}));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Never the machine's own /etc/orvanto/oauth2.conf.
        qputenv("ORVANTO_OAUTH2_SYSTEM_CONF", m_dir.filePath(QStringLiteral("system-oauth2.conf")).toUtf8());
        REQUIRE_SERVER(m_ca.create(m_dir.path()), QStringLiteral("test CA: ") + m_ca.error);
        qputenv("ORVANTO_CA_FILE", m_ca.caFile.toUtf8());
        REQUIRE_SERVER(m_auth.start(), QStringLiteral("authorization server ") + m_auth.output());
        REQUIRE_SERVER(m_smtp.start(QStringLiteral("auth-tls"), &m_ca, m_auth.introspectionUrl()),
                       QStringLiteral("aiosmtpd ") + m_smtp.output());
        REQUIRE_SERVER(m_pop3.start(m_ca, m_auth.introspectionUrl()), QStringLiteral("dovecot ") + m_pop3.output());
        m_pop3Host = QStringLiteral("pop.gmail.com:%1").arg(m_pop3.port);
        m_smtpHost = QStringLiteral("smtp.gmail.com:%1").arg(m_smtp.port);
    }

    // Which profiles sign in with the browser, from their servers and the two files.
    void configChoosesTheRoad_data()
    {
        QTest::addColumn<QString>("incoming");
        QTest::addColumn<QString>("outgoing");
        QTest::addColumn<QByteArray>("systemIni");
        QTest::addColumn<QByteArray>("userIni");
        QTest::addColumn<int>("road");
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<QString>("tokenHost");
        const QByteArray google = "[google]\nclient_id=sys-g\nclient_secret=x\n";
        const QByteArray microsoft = "[microsoft]\nclient_id=sys-m\n";
        QTest::newRow("gmail, system file") << "pop.gmail.com:995" << "smtp.gmail.com:465" << google + microsoft
                                            << QByteArray() << int(SignInRoad::Browser) << "sys-g"
                                            << "oauth2.googleapis.com";
        QTest::newRow("user group replaces the system group")
            << "mail.example.com" << "SMTP-MAIL.Outlook.com." << google + microsoft
            << QByteArray("[Microsoft]\nclient_id=own\ntoken_url=https://id.example.org/token\n")
            << int(SignInRoad::Browser) << "own" << "id.example.org";
        QTest::newRow("incoming decides") << "outlook.office365.com" << "smtp.gmail.com" << QByteArray()
                                          << microsoft << int(SignInRoad::Browser) << "sys-m"
                                          << "login.microsoftonline.com";
        QTest::newRow("no client ID") << "outlook.office365.com:995" << "" << google << QByteArray()
                                      << int(SignInRoad::NoClientId) << "" << "login.microsoftonline.com";
        QTest::newRow("other servers") << "pop.gmail.com.example.net" << "[::1]:25" << google << QByteArray()
                                       << int(SignInRoad::Password) << "" << "";
    }

    void configChoosesTheRoad()
    {
        QFETCH(QString, incoming);
        QFETCH(QString, outgoing);
        QFETCH(QByteArray, systemIni);
        QFETCH(QByteArray, userIni);
        QFETCH(int, road);
        QFETCH(QString, clientId);
        QFETCH(QString, tokenHost);
        QTemporaryDir home;
        const QByteArray savedHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        const QString system = QString::fromLocal8Bit(qgetenv("ORVANTO_OAUTH2_SYSTEM_CONF"));
        QVERIFY(TestFiles::write(system, systemIni));
        if (!userIni.isEmpty()) {
            QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Orvanto")));
            QVERIFY(TestFiles::write(home.filePath(QStringLiteral("Orvanto/oauth2.conf")), userIni));
        }
        const OAuthSetup setup = OAuthConfig::load().setupFor(incoming, outgoing);
        qputenv("XDG_CONFIG_HOME", savedHome);
        QFile::remove(system);
        QCOMPARE(int(setup.road), road);
        QCOMPARE(setup.provider.clientId, clientId);
        QCOMPARE(setup.provider.endpoints.tokenUrl.host(), tokenHost);
        QCOMPARE(setup.notice().contains(QLatin1String("Microsoft")), setup.road == SignInRoad::NoClientId);
    }

    // Sign in once in the browser, then POP3 and SMTP with the token: the servers
    // check it with the authorization server; no password, no token in the trace.
    void signInThenBothStagesWithTheToken()
    {
        const QString userConf = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Orvanto/oauth2.conf";
        QVERIFY(m_auth.writeConfig(userConf, QStringLiteral("google"), QLatin1String(SecretClient),
                                   QLatin1String(ClientSecret)));
        const OAuthSetup setup = OAuthConfig::load().setupFor(m_pop3Host, m_smtpHost);
        QCOMPARE(int(setup.road), int(SignInRoad::Browser));
        m_login = {QStringLiteral("Work mail"), QString::fromLatin1(User), setup.provider};
        // Shorter than the renewal margin: every later request renews the token.
        QVERIFY(m_auth.setLifetime(30));

        OAuthAccount account(m_agent.opener());
        const Answer signedIn = await(account, [&] { account.signIn(m_login); });
        QCOMPARE(signedIn.kind, QStringLiteral("token"));
        QCOMPARE(m_agent.opened, 1);
        const QUrlQuery asked(m_agent.lastUrl);
        QCOMPARE(asked.queryItemValue(QStringLiteral("code_challenge_method")), QStringLiteral("S256"));
        QCOMPARE(asked.queryItemValue(QStringLiteral("login_hint")), QString::fromLatin1(User));
        QVERIFY(QUrl(asked.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded)).host()
                == QStringLiteral("127.0.0.1"));

        CMail mail;
        useLoopback(mail);
        const int stored = m_smtp.messages().size();
        const Outcome pop3 = connectWith(mail, m_pop3Host, 1, signedIn.text);
        QCOMPARE(pop3.code, 0);
        const Outcome smtp = connectWith(mail, m_smtpHost, 2, signedIn.text, true);
        QCOMPARE(smtp.code, 0);
        QVERIFY(m_smtp.waitForMessages(stored + 1));
        QVERIFY(m_pop3.log().contains(QLatin1String("user=<ann>, method=XOAUTH2")));
        QVERIFY(m_smtp.output().contains(QLatin1String("AUTH XOAUTH2 user=ann accepted")));
        QVERIFY(!m_smtp.output().contains(QLatin1String("AUTH PLAIN")));
        const QStringList trace = pop3.trace + smtp.trace;
        // Both send the token on its own line after the command: masked.
        QCOMPARE(trace.filter(QRegularExpression(QStringLiteral("^> AUTH XOAUTH2$"))).size(), 2);
        QCOMPARE(trace.filter(QRegularExpression(QStringLiteral("^> \\*\\*\\*\\*$"))).size(), 2);
        const QByteArray sasl = "user=ann\001auth=Bearer " + signedIn.text.toLatin1() + "\001\001";
        for (const QString &secret : {signedIn.text, QString::fromLatin1(sasl.toBase64()),
                                      QString::fromLatin1(sasl.toBase64().left(24))})
            QVERIFY(trace.filter(secret).isEmpty());
    }

    // The refresh token comes from the secret store; a token the servers refuse is
    // named with their reason; a refused renewal asks for a new sign-in.
    void renewalAndRefusals()
    {
        QVERIFY(!m_login.profile.isEmpty());
        OAuthAccount account(m_agent.opener());  // nothing in memory: only the secret store
        CMail mail;
        useLoopback(mail);
        const Answer first = await(account, [&] { account.requestToken(m_login); });
        QCOMPARE(first.kind, QStringLiteral("token"));

        QVERIFY(m_auth.expireAccessTokens());
        const Outcome smtp = connectWith(mail, m_smtpHost, 2, first.text);
        QCOMPARE(smtp.code, MailCode::TokenRefused);
        QCOMPARE(smtp.text, QStringLiteral("smtp.gmail.com refused the sign-in token: invalid_token"));
        const Outcome pop3 = connectWith(mail, m_pop3Host, 1, first.text);
        QCOMPARE(pop3.code, MailCode::TokenRefused);
        QCOMPARE(pop3.text, QStringLiteral("pop.gmail.com refused the sign-in token: 401"));

        account.discardAccessToken(m_login);
        const Answer renewed = await(account, [&] { account.requestToken(m_login); });
        QCOMPARE(renewed.kind, QStringLiteral("token"));
        QVERIFY(renewed.text != first.text);
        QCOMPARE(connectWith(mail, m_smtpHost, 2, renewed.text).code, 0);
        QCOMPARE(m_agent.opened, 1);  // never asked the user again
        int renewals = 0;
        for (const auto &g : m_auth.grants())
            renewals += g[QLatin1String("grant")] == QLatin1String("refresh_token") && !g[QLatin1String("refused")].toBool();
        QCOMPARE(renewals, 2);

        QVERIFY(m_auth.revokeRefreshTokens());
        const Answer refused = await(account, [&] { account.requestToken(m_login); });
        QCOMPARE(refused.kind, QStringLiteral("sign in"));
        QCOMPARE(refused.text, QStringLiteral("Please sign in again: Token has been expired or revoked."));
        // The dead refresh token left the store.
        QCOMPARE(await(account, [&] { account.requestToken(m_login); }).kind, QStringLiteral("sign in"));
        QCOMPARE(m_agent.opened, 1);
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
        const Answer answer = await(account, [&] { account.signIn(m_login); });
        m_agent.rewrite = nullptr;
        QCOMPARE(answer.kind, QStringLiteral("failed"));
        QCOMPARE(answer.text, QStringLiteral("The sign-in was refused: Code challenge failed."));
    }

    // The token never goes to a server without TLS, even on this machine; the password
    // login of another profile works as before on the same servers.
    void tokenOnlyOverTlsAndPasswordsAsBefore()
    {
        SmtpServer open;
        REQUIRE_SERVER(open.start(QStringLiteral("auth")), QStringLiteral("aiosmtpd without TLS"));
        CMail mail;
        const Outcome refused = connectWith(mail, open.host(), 2, QStringLiteral("some-token"));
        QCOMPARE(refused.code, MailCode::TokenNeedsTls);
        QVERIFY(refused.trace.filter(QStringLiteral("> AUTH")).isEmpty());

        QCOMPARE(connectWith(mail, m_pop3.host(), 1, {}).code, 0);
        QCOMPARE(connectWith(mail, m_smtp.host(), 2, {}).code, 0);
        QVERIFY(m_pop3.log().contains(QLatin1String("method=PLAIN")));
        QVERIFY(m_smtp.output().contains(QLatin1String("user=ann accepted")));
    }
};

QTEST_GUILESS_MAIN(TestOAuth)
#include "test_oauth.moc"
