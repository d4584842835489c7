// Address lists of the To, Cc and sender fields, the local-network rule for passwords and the
// texts shown for mail errors.

#include "mail/error_text.h"
#include "mail/host_resolver.h"
#include "mail/mail_address.h"

#include <QTest>

class TestMailUnits : public QObject
{
    Q_OBJECT

private slots:
    void localNetwork()
    {
        for (const char *local : {"172.31.255.254", "169.254.3.4", "fd12:3456::1", "::ffff:192.168.1.1", "::1",
                                  "fe80::1%eth0", "febf::1", "::ffff:10.0.0.1"})
            QVERIFY2(IsLocalNetworkAddress(IpAddress::parse(QLatin1String(local))), local);
        for (const char *outside : {"172.32.0.1", "93.184.216.34", "0.0.0.0", "::", "fec0::1", "fbff::1",
                                    "::ffff:172.32.0.1", "::127.0.0.1", "::2"})
            QVERIFY2(!IsLocalNetworkAddress(IpAddress::parse(QLatin1String(outside))), outside);
    }

    // Each text gives its addresses as "display|address as sent", with a "*" when only a
    // server that offers SMTPUTF8 takes it, or the entry that is none.
    void addressLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("notAnAddress");
        const auto row = [](const char *name, const QString &text, const QStringList &addresses,
                            const QString &none = {}) { QTest::newRow(name) << text << addresses << none; };
        row("pasted column and blanks", "bob@x.org carl@x.org\r\ndan@x.org;\teve@x.org,",
            {"|bob@x.org", "|carl@x.org", "|dan@x.org", "|eve@x.org"});
        row("display names", "Bob Smith <bob@x.org>, \"Smith, Ann\" <ann@x.org> carl@x.org Carl <c@x.org>",
            {"Bob Smith|bob@x.org", "Smith, Ann|ann@x.org", "|carl@x.org", "Carl|c@x.org"});
        row("name without brackets", "Bob Smith bob@x.org", {"|bob@x.org"}, "Bob");
        row("no @ in brackets", "Bob <bob>", {}, "Bob <bob>");
        row("a second header", "bob@x.org\r\nBcc: eve@x.org", {"|bob@x.org", "|eve@x.org"}, "Bcc:");
        row("NUL", QString::fromUtf8("bob@x.org\0evil", 14), {"|bob@x.org"}, "evil");
        row("not ASCII", "Jürgen <jürgen@bücher.example> j@bücher.example",
            {"Jürgen|jürgen@xn--bcher-kva.example*", "|j@xn--bcher-kva.example"});
        row("nothing", " , ; ", {});
    }

    void addressLists()
    {
        QFETCH(QString, text);
        const AddressList list = ParseAddressList(text);
        QStringList addresses;
        for (const MailAddress &a : list.addresses)
            addresses << a.display + '|' + a.address + (a.needsSmtpUtf8() ? "*" : "");
        QTEST(addresses, "addresses");
        QTEST(list.notAnAddress, "notAnAddress");
        QCOMPARE(RecipientError(QStringLiteral("ok@x.org"), text),
                 list.ok() ? QString() : QStringLiteral("Not an e-mail address: ") + list.notAnAddress);
    }

    void historyAddressesAsWritten()
    {
        QCOMPARE(RecipientAddresses(QStringLiteral("Bob <bob@x.org>, BOB@x.org jürgen@bücher.example")),
                 (QStringList{"bob@x.org", "jürgen@bücher.example"}));
    }

    // The description itself, unless it is "Unknown error": then the table's text for the
    // code, trailing blank included.
    void errorTexts()
    {
        QCOMPARE(MailErrorText(552, QStringLiteral("552 5.3.4 Too big")), QStringLiteral("552 5.3.4 Too big"));
        QCOMPARE(MailErrorText(10054, QStringLiteral("Unknown error")), QStringLiteral("Connection reset by peer "));
        QCOMPARE(MailErrorText(12345, QStringLiteral("Unknown error")), QStringLiteral("Unknown Error"));
        QCOMPARE(AccountTestErrorText(10051, QString()), QStringLiteral("Network is unreachable "));
        QCOMPARE(AccountTestErrorText(10061, QStringLiteral("refused")), QStringLiteral("refused"));
    }
};

QTEST_GUILESS_MAIN(TestMailUnits)
#include "test_mail_units.moc"
