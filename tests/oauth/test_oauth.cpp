// OAuth2 sign-in: oauth2.conf and the presets, the browser flow with PKCE against a real authorization
// server, tokens in a real secret store, and token logins at real POP3 and SMTP servers that check them there.

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
    QStringList answers;
    QObject context;
    const auto note = [&answers](const char *kind) {
        return [&answers, kind](const QString &text) { answers << kind << text; };
    };
    QObject::connect(&account, &OAuthAccount::tokenReady, &context, note("token"));
    QObject::connect(&account, &OAuthAccount::signInNeeded, &context, note("sign in"));
    QObject::connect(&account, &OAuthAccount::failed, &context, note("failed"));
    call();
    const bool answered = QTest::qWaitFor([&] { return !answers.isEmpty(); }, 20000);
    QTest::qWait(50);
    return !answered ? QStringList{"no answer"} : answers.size() == 2 ? answers : QStringList{"several answers"};
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
    QStringList m_trace;

    // Logs in with the token, else the password: to POP3 (protocol 1) by Connect, to SMTP by sending
    // a message, which connects first; then disconnects. Gives "0", or the error's code and text.
    QString connectWith(const QString &host, int protocol, const QString &token)
    {
        QSignalSpy done(&m_mail, &CMail::Done), error(&m_mail, &CMail::Error);
        m_mail.SetHostName(host);
        m_mail.SetPassword(token.isEmpty() ? QString::fromLatin1(Password) : QString());
        m_mail.SetBearerToken(token);
        m_mail.SetProtocol(protocol);
        m_mail.SetBlocking(false);
        m_mail.SetAction(11);
        m_mail.SetFrom("<ann@gmail.com>");
        m_mail.SetTo("bob@example.test");
        protocol == 1 ? m_mail.Connect() : m_mail.SetAction(15);
        const bool answered = QTest::qWaitFor([&] { return !done.isEmpty() || !error.isEmpty(); }, 20000);
        QTest::qWait(100);  // the last trace lines
        m_mail.SetBlocking(true);
        m_mail.Disconnect();
        return !answered ? QStringLiteral("no answer") : error.isEmpty() ? QStringLiteral("0")
               : QStringLiteral("%1: %2").arg(error.at(0).at(0).toInt()).arg(error.at(0).at(1).toString());
    }

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
        m_mail.setResolver(std::make_shared<LoopbackResolver>(QSet<QString>{"pop.gmail.com", "smtp.gmail.com"}));
        m_mail.SetUserName(QString::fromLatin1(User));
        m_mail.SetDebug(1);
        connect(&m_mail, &CMail::Trace, this, [this](const QString &line) { m_trace << line; });
    }

    // Which profiles sign in with the browser, from their servers and the two files: the
    // road, the client ID and the token host.
    void configChoosesTheRoad()
    {
        const QString system = m_dir.filePath("system.conf"), user = m_dir.filePath("user.conf");
        const QByteArray both = "[google]\nclient_id=sys-g\n[microsoft]\nclient_id=sys-m\n";
        const struct { QString servers; QByteArray system, user; QString expected; } rows[] = {
            {"pop.gmail.com:995 smtp.gmail.com:465", both, "", "2 sys-g oauth2.googleapis.com"},
            {"mail.example.com SMTP-MAIL.Outlook.com.", both,  // the user's group replaces the system's
             "[Microsoft]\nclient_id=own\ntoken_url=https://id.example.org/token\n", "2 own id.example.org"},
            {"outlook.office365.com smtp.gmail.com", "", both, "2 sys-m login.microsoftonline.com"},  // incoming first
            {"outlook.office365.com:995 -", "[google]\nclient_id=g\n", "", "1  login.microsoftonline.com"},  // no ID
            {"pop.gmail.com.example.net [::1]:25", both, "", "0  "}};
        for (const auto &row : rows) {
            QVERIFY(TestFiles::write(system, row.system) && TestFiles::write(user, row.user));
            const OAuthSetup setup = OAuthConfig::load(system, user).setupFor(row.servers.section(' ', 0, 0),
                                                                               row.servers.section(' ', 1));
            const OAuthProvider &p = setup.provider;
            QCOMPARE(QStringLiteral("%1 %2 %3").arg(int(setup.road)).arg(p.clientId, p.endpoints.tokenUrl.host()),
                     row.expected);
            QCOMPARE(setup.notice().contains("Microsoft"), setup.road == SignInRoad::NoClientId);
        }
    }

    // Sign in once in the browser, then POP3 and SMTP with the token: the servers check it
    // with the authorization server; no password, no token in the trace.
    void signInThenBothStagesWithTheToken()
    {
        QVERIFY(m_auth.writeConfig(OAuthConfig::userFile(), "google"));
        const OAuthSetup setup = OAuthConfig::load().setupFor(m_pop3Host, m_smtpHost);
        QCOMPARE(int(setup.road), int(SignInRoad::Browser));
        m_login = {"Work mail", QString::fromLatin1(User), setup.provider};
        QVERIFY(m_auth.setLifetime(30));  // under the renewal margin: later requests renew
        OAuthAccount account(m_agent.opener());
        const QStringList signedIn = await(account, [&] { account.signIn(m_login); });
        QVERIFY(signedIn[0] == "token" && m_agent.opened == 1);
        const QUrlQuery asked(m_agent.lastUrl);
        QCOMPARE(asked.queryItemValue("code_challenge_method"), QStringLiteral("S256"));
        QCOMPARE(QUrl(asked.queryItemValue("redirect_uri", QUrl::FullyDecoded)).host(), QStringLiteral("127.0.0.1"));
        m_trace.clear();
        QCOMPARE(connectWith(m_pop3Host, 1, signedIn[1]) + connectWith(m_smtpHost, 2, signedIn[1]), QStringLiteral("00"));
        QVERIFY(m_smtp.waitForMessages(1) && m_pop3.log().contains("user=<ann>, method=XOAUTH2"));
        QVERIFY(m_smtp.output().contains("AUTH XOAUTH2 user=ann accepted") && !m_smtp.output().contains("AUTH PLAIN"));
        // Both send the token on its own line after the command, masked.
        QCOMPARE(m_trace.filter(QRegularExpression("^> (AUTH XOAUTH2|\\*\\*\\*\\*)$")).size(), 4);
        const QByteArray sasl = "user=ann\001auth=Bearer " + signedIn[1].toLatin1() + "\001\001";
        for (const QString &secret : {signedIn[1], QString::fromLatin1(sasl.toBase64().left(24))})
            QVERIFY(m_trace.filter(secret).isEmpty());

        // The token never goes to a server without TLS, even on this machine; the password
        // login of another profile works as before on the same servers.
        SmtpServer open;
        REQUIRE_SERVER(open.start("auth"), "aiosmtpd without TLS");
        m_trace.clear();
        QVERIFY(connectWith(open.host(), 2, "some-token").startsWith(QString::number(MailCode::TokenNeedsTls)));
        QVERIFY(m_trace.filter("> AUTH").isEmpty());
        QCOMPARE(connectWith(m_pop3.host(), 1, {}) + connectWith(m_smtp.host(), 2, {}), QStringLiteral("00"));
        QVERIFY(m_pop3.log().contains("method=PLAIN") && m_smtp.output().contains("AUTH PLAIN user=ann accepted"));
    }

    // The refresh token comes from the secret store; a token the servers refuse is named
    // with their reason; a refused renewal asks for a new sign-in without the browser; a
    // browser that hands the server another challenge makes the verifier fail.
    void renewalAndRefusals()
    {
        OAuthAccount account(m_agent.opener());  // nothing in memory: only the secret store
        const QStringList first = await(account, [&] { account.requestToken(m_login); });
        QVERIFY(first[0] == "token" && m_auth.expireAccessTokens());
        const QString refused = QString("%1: %2.gmail.com refused the sign-in token: %3").arg(MailCode::TokenRefused);
        QCOMPARE(connectWith(m_smtpHost, 2, first[1]), refused.arg("smtp", "invalid_token"));
        QCOMPARE(connectWith(m_pop3Host, 1, first[1]), refused.arg("pop", "401"));
        account.discardAccessToken(m_login);
        const QStringList renewed = await(account, [&] { account.requestToken(m_login); });
        QVERIFY(renewed[0] == "token" && renewed[1] != first[1]);
        QCOMPARE(connectWith(m_smtpHost, 2, renewed[1]), QStringLiteral("0"));
        QVERIFY(m_auth.revokeRefreshTokens());
        QCOMPARE(await(account, [&] { account.requestToken(m_login); }),
                 QStringList({"sign in", "Please sign in again: Token has been expired or revoked."}));
        // The dead refresh token has left the store.
        QCOMPARE(await(account, [&] { account.requestToken(m_login); }),
                 QStringList({"sign in", "Please sign in first: no sign-in is kept for ann"}));
        QCOMPARE(m_agent.opened, 1);  // the user was never asked again
        m_agent.challenge = "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM";
        QCOMPARE(await(account, [&] { account.signIn(m_login); }),
                 QStringList({"failed", "The sign-in was refused: Code challenge failed."}));
    }
};

QTEST_GUILESS_MAIN(TestOAuth)
#include "test_oauth.moc"
