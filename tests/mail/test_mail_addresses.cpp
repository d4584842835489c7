// Address lists of the header fields and the local-network rule for passwords.

#include "mail/host_resolver.h"
#include "mail/mail_address.h"

#include <QTest>

class TestMailAddresses : public QObject
{
    Q_OBJECT

private slots:
    void classifier_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("local");
        QTest::newRow("loopback") << "127.0.0.1" << true;
        QTest::newRow("loopback range") << "127.255.0.9" << true;
        QTest::newRow("10/8") << "10.1.2.3" << true;
        QTest::newRow("172.16/12 low") << "172.16.0.1" << true;
        QTest::newRow("172.16/12 high") << "172.31.255.254" << true;
        QTest::newRow("172.32 outside") << "172.32.0.1" << false;
        QTest::newRow("172.15 outside") << "172.15.255.255" << false;
        QTest::newRow("192.168/16") << "192.168.0.10" << true;
        QTest::newRow("192.169 outside") << "192.169.0.1" << false;
        QTest::newRow("link local v4") << "169.254.3.4" << true;
        QTest::newRow("public v4") << "93.184.216.34" << false;
        QTest::newRow("documentation net") << "192.0.2.1" << false;
        QTest::newRow("v6 loopback") << "::1" << true;
        QTest::newRow("v6 unique local") << "fd12:3456::1" << true;
        QTest::newRow("v6 fc00") << "fc00::1" << true;
        QTest::newRow("v6 link local") << "fe80::1" << true;
        QTest::newRow("v6 public") << "2001:db8::1" << false;
        QTest::newRow("v4-mapped private") << "::ffff:192.168.1.1" << true;
        QTest::newRow("v4-mapped public") << "::ffff:8.8.8.8" << false;
        QTest::newRow("unspecified") << "0.0.0.0" << false;
    }

    void classifier()
    {
        QFETCH(QString, address);
        QFETCH(bool, local);
        QCOMPARE(IsLocalNetworkAddress(QHostAddress(address)), local);
    }

    void lists()
    {
        const QVector<MailAddress> list = ParseAddressList(
            QStringLiteral("bob@example.test; \"Smith, Ann\" <ann@example.test>,, Carl <carl@example.test> ;"
                           "<dan@example.test>"));
        QCOMPARE(list.size(), 4);
        QCOMPARE(list[0].address, QStringLiteral("bob@example.test"));
        QCOMPARE(list[0].display, QString());
        QCOMPARE(list[1].address, QStringLiteral("ann@example.test"));
        QCOMPARE(list[1].display, QStringLiteral("Smith, Ann"));
        QCOMPARE(list[2].display, QStringLiteral("Carl"));
        QCOMPARE(list[3].address, QStringLiteral("dan@example.test"));
        QCOMPARE(AddressDomain(QStringLiteral("<ann@mail.example.test>")), QStringLiteral("mail.example.test"));
        QCOMPARE(AddressDomain(QStringLiteral("nobody")), QString());
        QVERIFY(ParseAddressList(QStringLiteral(" , ; ")).isEmpty());
    }

    void lineBreaksNeverReachAnAddress()
    {
        const QVector<MailAddress> list =
            ParseAddressList(QStringLiteral("bob@example.test\r\nBcc: eve@example.test"));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].address, QStringLiteral("bob@example.test"));
        for (const MailAddress &a : ParseAddressList(QStringLiteral("A\nB <x@y.test>\r"))) {
            QVERIFY(!a.display.contains(QLatin1Char('\n')));
            QVERIFY(!a.address.contains(QLatin1Char('\r')));
        }
    }
};

QTEST_GUILESS_MAIN(TestMailAddresses)
#include "test_mail_addresses.moc"
