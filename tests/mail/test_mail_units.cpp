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
    void classifier_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("local");
        QTest::newRow("172.16/12 high") << "172.31.255.254" << true;
        QTest::newRow("172.32 outside") << "172.32.0.1" << false;
        QTest::newRow("link local v4") << "169.254.3.4" << true;
        QTest::newRow("public v4") << "93.184.216.34" << false;
        QTest::newRow("v6 unique local") << "fd12:3456::1" << true;
        QTest::newRow("v4-mapped private") << "::ffff:192.168.1.1" << true;
        QTest::newRow("unspecified") << "0.0.0.0" << false;
    }

    void classifier()
    {
        QFETCH(QString, address);
        QFETCH(bool, local);
        QCOMPARE(IsLocalNetworkAddress(QHostAddress(address)), local);
    }

    // Each text gives its addresses as "display|address as sent", or the entry that is none.
    void addressLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("notAnAddress");
        QTest::newRow("pasted column and blanks") << "bob@x.org carl@x.org\r\ndan@x.org;\teve@x.org,"
                                                   << QStringList{"|bob@x.org", "|carl@x.org", "|dan@x.org", "|eve@x.org"}
                                                   << "";
        QTest::newRow("display names") << "Bob Smith <bob@x.org>, \"Smith, Ann\" <ann@x.org> carl@x.org Carl <c@x.org>"
                                       << QStringList{"Bob Smith|bob@x.org", "Smith, Ann|ann@x.org", "|carl@x.org",
                                                      "Carl|c@x.org"}
                                       << "";
        QTest::newRow("name without brackets") << "Bob Smith bob@x.org" << QStringList{"|bob@x.org"} << "Bob";
        QTest::newRow("no @ in brackets") << "Bob <bob>" << QStringList{} << "Bob <bob>";
        QTest::newRow("a second header") << "bob@x.org\r\nBcc: eve@x.org" << QStringList{"|bob@x.org", "|eve@x.org"}
                                         << "Bcc:";
        QTest::newRow("NUL") << QString::fromUtf8("bob@x.org\0evil", 14) << QStringList{"|bob@x.org"} << "evil";
        QTest::newRow("control in brackets") << QString::fromUtf8("<bob@x.o\x1brg>") << QStringList{}
                                             << QString::fromUtf8("<bob@x.o\x1brg>");
        QTest::newRow("domain not ASCII") << "Jürgen <jürgen@bücher.example>"
                                          << QStringList{"Jürgen|jürgen@xn--bcher-kva.example"} << "";
        QTest::newRow("nothing") << " , ; " << QStringList{} << "";
    }

    void addressLists()
    {
        QFETCH(QString, text);
        const AddressList list = ParseAddressList(text);
        QStringList addresses;
        for (const MailAddress &a : list.addresses)
            addresses << a.display + '|' + a.address;
        QTEST(addresses, "addresses");
        QTEST(list.notAnAddress, "notAnAddress");
        QCOMPARE(RecipientError(QStringLiteral("ok@x.org"), text),
                 list.ok() ? QString() : QStringLiteral("Not an e-mail address: ") + list.notAnAddress);
    }

    void historyAddressesAsWritten()
    {
        QCOMPARE(RecipientAddresses(QStringLiteral("Bob <bob@x.org>, BOB@x.org jürgen@bücher.example")),
                 (QStringList{"bob@x.org", "jürgen@bücher.example"}));
        QVERIFY(ParseAddressList(QStringLiteral("jürgen@x.org")).addresses.first().needsSmtpUtf8());
        QVERIFY(!ParseAddressList(QStringLiteral("j@bücher.example")).addresses.first().needsSmtpUtf8());
    }

    void errorTexts_data()
    {
        QTest::addColumn<bool>("accountTest");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("shown");
        QTest::newRow("real text kept") << false << 552 << "552 5.3.4 Too big" << "552 5.3.4 Too big";
        QTest::newRow("table, trailing blank") << false << 10054 << "Unknown error" << "Connection reset by peer ";
        QTest::newRow("not in the table") << false << 12345 << "Unknown error" << "Unknown Error";
        QTest::newRow("test: invalid password") << true << 20012 << "535 5.7.8 No" << "Invalid password";
        QTest::newRow("test: no text") << true << 10051 << "" << "Network is unreachable ";
        QTest::newRow("test: real text") << true << 10061 << "Connection refused" << "Connection refused";
    }

    void errorTexts()
    {
        QFETCH(bool, accountTest);
        QFETCH(int, code);
        QFETCH(QString, description);
        QFETCH(QString, shown);
        QCOMPARE(accountTest ? AccountTestErrorText(code, description) : MailErrorText(code, description), shown);
    }
};

QTEST_GUILESS_MAIN(TestMailUnits)
#include "test_mail_units.moc"
