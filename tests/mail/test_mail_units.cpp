// Address lists of the header fields, the local-network rule for passwords and the
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
        QTest::newRow("10/8") << "10.1.2.3" << true;
        QTest::newRow("172.16/12 high") << "172.31.255.254" << true;
        QTest::newRow("172.32 outside") << "172.32.0.1" << false;
        QTest::newRow("link local v4") << "169.254.3.4" << true;
        QTest::newRow("public v4") << "93.184.216.34" << false;
        QTest::newRow("v6 loopback") << "::1" << true;
        QTest::newRow("v6 public") << "2001:db8::1" << false;
        QTest::newRow("v4-mapped private") << "::ffff:192.168.1.1" << true;
        QTest::newRow("unspecified") << "0.0.0.0" << false;
    }

    void classifier()
    {
        QFETCH(QString, address);
        QFETCH(bool, local);
        QCOMPARE(IsLocalNetworkAddress(QHostAddress(address)), local);
    }

    void addressLists()
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
        QVERIFY(ParseAddressList(QStringLiteral(" , ; ")).isEmpty());
        // A line break never carries a second header into an address.
        const QVector<MailAddress> broken = ParseAddressList(QStringLiteral("bob@example.test\r\nBcc: eve@example.test"));
        QCOMPARE(broken.size(), 1);
        QCOMPARE(broken[0].address, QStringLiteral("bob@example.test"));
    }

    void errorTexts_data()
    {
        QTest::addColumn<bool>("accountTest");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("shown");
        QTest::newRow("real text kept") << false << 552 << "552 5.3.4 Too big" << "552 5.3.4 Too big";
        QTest::newRow("table, trailing blank") << false << 10054 << "Unknown error" << "Connection reset by peer ";
        QTest::newRow("host not found") << false << 11001 << "Unknown error" << "Host not found ";
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
