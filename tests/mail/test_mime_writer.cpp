// The message the control writes, read back by Python's email package (policy.strict).

#include "mail/cmail.h"
#include "tests/support/mail/mail_servers.h"
#include "tests/support/test_files.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

class TestMimeWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Address lists, a file name that needs RFC 2231, the given date text and a long 7bit
    // line as a strict reader sees them.
    void multipartReadStrictly()
    {
        const QString path = m_dir.filePath(QStringLiteral("v.wav")), eml = m_dir.filePath(QStringLiteral("m.eml"));
        const QString name = QStringLiteral("Grüße \"aus\" Köln – 日本.wav");
        QVERIFY(TestFiles::write(path, "RIFF....WAVE"));
        MimeComposer c;
        c.headers.from = QStringLiteral("<ann@example.test>");
        c.headers.to = QStringLiteral("Bob Smith <bob@example.test> carl@example.test\r\n");
        c.headers.cc = QStringLiteral("\"Smith, Ann\" <ann@bücher.example>;");
        c.headers.dateText = QStringLiteral("Saturday, December 06, 2025 07:39 PM");
        QVERIFY(c.openPart() && c.activatePart());
        c.current().disposition = QStringLiteral("attachment; filename=\"%1\"").arg(name);
        QVERIFY(c.attachFile(path) && c.closePart() && c.openPart() && c.activatePart());
        c.current().bodyText = QString(110, QLatin1Char('-')) + "\n";
        QVERIFY(c.closePart() && TestFiles::write(eml, c.compose(QStringLiteral("localhost")).bytes));
        const QJsonObject o = MailTest::checkMessage(eml), h = o.value("headers").toObject();
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QCOMPARE(o.value("max_line").toInt(), 110);  // 7bit allows 998
        QCOMPARE(h.value("To").toString(), QStringLiteral("Bob Smith <bob@example.test>, carl@example.test"));
        QCOMPARE(h.value("Cc").toString(), QStringLiteral("\"Smith, Ann\" <ann@xn--bcher-kva.example>"));
        QCOMPARE(h.value("Date").toString().left(26), QStringLiteral("Sat, 06 Dec 2025 19:39:00 "));
        QCOMPARE(o.value("parts").toArray().at(0).toObject().value("filename").toString(), name);
    }

    // Actions out of order, a file that cannot be read and an entry that is no address are
    // refused with a result code and a reason.
    void actionsOutOfOrderAndBadInputAreRefused()
    {
        CMail mail;
        mail.SetBlocking(true);
        const auto refused = [&mail](short action) { return mail.SetAction(action), mail.GetResultCode() != 0; };
        QVERIFY(!refused(11) && refused(7) && refused(2) && refused(99) && !refused(4) && !refused(7));
        mail.SetAttachmentPath(m_dir.filePath(QStringLiteral("missing.wav")));
        QVERIFY(refused(9) && mail.GetErrorText().contains(QStringLiteral("missing.wav")) && !refused(2));
        mail.SetTo(QStringLiteral("Bob Smith bob@example.test"));
        QVERIFY(refused(15));
        QCOMPARE(mail.GetErrorText(), QStringLiteral("Not an e-mail address: Bob"));
    }
};

QTEST_GUILESS_MAIN(TestMimeWriter)
#include "test_mime_writer.moc"
