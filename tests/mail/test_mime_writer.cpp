// The message the control writes, read back by Python's email package (policy.strict).

#include "mail/cmail.h"
#include "mail/mime_writer.h"
#include "tests/support/mail/mail_servers.h"
#include "tests/support/test_files.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

class TestMimeWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // The call order the form uses for one attachment.
    static bool attach(MimeComposer &c, const QString &path, const QString &subtype, const QString &name)
    {
        if (!c.openPart() || !c.activatePart())
            return false;
        c.current().contentType = QStringLiteral("audio");
        c.current().contentSubtype = subtype;
        c.current().contentParameters = QStringLiteral("name=\"%1\"").arg(name);
        c.current().transferEncoding = QStringLiteral("base64");
        c.current().disposition = QStringLiteral("attachment; filename=\"%1\"").arg(name);
        return c.attachFile(path) && c.closePart();
    }

private slots:
    void multipartWithAttachmentsInOrderAndTextLast()
    {
        QByteArray wav(243'765, '\0');
        for (char &b : wav)
            b = char(QRandomGenerator::global()->bounded(256));
        const QString wavPath = m_dir.filePath(QStringLiteral("orv1.wav"));
        const QString otherPath = m_dir.filePath(QStringLiteral("other.wav"));
        QVERIFY(TestFiles::write(wavPath, wav) && TestFiles::write(otherPath, "RIFF....WAVE"));
        const QString otherName = QStringLiteral("Grüße \"aus\" Köln – 日本.wav");  // RFC 2231
        MimeComposer c;
        c.headers.from = QStringLiteral("<ann@example.test>");
        // One reading of the lists gives the envelope and the header; no control character
        // reaches a header.
        c.headers.to = QStringLiteral("Bob Smith <bob@example.test> carl@example.test\r\n");
        c.headers.cc = QStringLiteral("\"Smith, Ann\" <ann@bücher.example>;");
        c.headers.subject = QString::fromUtf8("Hi\0there\r\nBcc: eve@example.test", 31);
        c.headers.dateText = QStringLiteral("Saturday, December 06, 2025 07:39 PM");
        c.headers.messageTag = QStringLiteral("20251261939017TAVEMAIL");
        c.current().contentType = QStringLiteral("multipart");
        c.current().contentSubtype = QStringLiteral("mixed");
        QVERIFY(attach(c, wavPath, QStringLiteral("basic"), QStringLiteral("orv1.wav")));
        QVERIFY(attach(c, otherPath, QStringLiteral("x-wav"), otherName));
        QVERIFY(c.openPart() && c.activatePart());
        c.current().contentType = QStringLiteral("text");
        c.current().contentSubtype = QStringLiteral("plain");
        c.current().bodyText = QStringLiteral("Hello,\r\n\r\nthe voice\n\n\n") + QString(110, QLatin1Char('-')) + "\n";
        QVERIFY(c.closePart());
        const ComposedMessage m = c.compose(QStringLiteral("localhost"));
        QCOMPARE(m.envelopeFrom, QStringLiteral("ann@example.test"));
        QCOMPARE(m.recipients, (QStringList{"bob@example.test", "carl@example.test", "ann@xn--bcher-kva.example"}));

        const QString eml = m_dir.filePath(QStringLiteral("m.eml"));
        QVERIFY(TestFiles::write(eml, m.bytes));
        const QJsonObject o = MailTest::checkMessage(eml);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QVERIFY(o.value("crlf_only").toBool());
        QCOMPARE(o.value("max_line").toInt(), 110);  // the footer's rule; 7bit allows 998
        QCOMPARE(o.value("type").toString(), QStringLiteral("multipart/mixed"));
        const QJsonObject h = o.value("headers").toObject();
        QCOMPARE(h.value("MIME-Version").toString(), QStringLiteral("1.0"));
        QCOMPARE(h.value("To").toString(), QStringLiteral("Bob Smith <bob@example.test>, carl@example.test"));
        QCOMPARE(h.value("Cc").toString(), QStringLiteral("\"Smith, Ann\" <ann@xn--bcher-kva.example>"));
        QCOMPARE(h.value("Subject").toString(), QStringLiteral("Hi there  Bcc: eve@example.test"));
        QVERIFY(!h.contains("Bcc"));
        QCOMPARE(h.value("Message-ID").toString(), QStringLiteral("<20251261939017TAVEMAIL@example.test>"));
        QVERIFY2(h.value("Date").toString().startsWith(QStringLiteral("Sat, 06 Dec 2025 19:39:00 ")),
                 qPrintable(h.value("Date").toString()));
        const QJsonArray parts = o.value("parts").toArray();
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts[0].toObject().value("type").toString(), QStringLiteral("audio/basic"));
        QCOMPARE(parts[0].toObject().value("filename").toString(), QStringLiteral("orv1.wav"));
        QCOMPARE(parts[0].toObject().value("md5").toString(),
                 QString::fromLatin1(QCryptographicHash::hash(wav, QCryptographicHash::Md5).toHex()));
        QCOMPARE(parts[1].toObject().value("filename").toString(), otherName);
        const QJsonObject text = parts[2].toObject();
        QCOMPARE(text.value("charset").toString(), QStringLiteral("us-ascii"));
        QCOMPARE(text.value("encoding").toString(), QStringLiteral("7bit"));
    }

    void actionsOutOfOrderAndUnreadableFilesAreRefused()
    {
        CMail mail;
        mail.SetBlocking(true);
        mail.SetAction(11);
        for (short action : {7, 2, 99}) {  // no part opened, nothing to close, unknown
            mail.SetAction(action);
            QVERIFY(mail.GetResultCode() != 0);
        }
        mail.SetAction(4);
        mail.SetAction(7);
        QCOMPARE(mail.GetResultCode(), short(0));
        mail.SetAttachmentPath(m_dir.filePath(QStringLiteral("missing.wav")));
        mail.SetAction(9);
        QVERIFY(mail.GetResultCode() != 0);
        QVERIFY(mail.GetErrorText().contains(QStringLiteral("missing.wav")));
        mail.SetAction(2);
        QCOMPARE(mail.GetResultCode(), short(0));
        // A message without a recipient, or with an entry that is no address, is not sent.
        mail.SetFrom(QStringLiteral("<ann@example.test>"));
        mail.SetAction(15);
        QVERIFY(mail.GetResultCode() != 0);
        mail.SetTo(QStringLiteral("Bob Smith bob@example.test"));
        mail.SetAction(15);
        QCOMPARE(mail.GetErrorText(), QStringLiteral("Not an e-mail address: Bob"));
    }
};

QTEST_GUILESS_MAIN(TestMimeWriter)
#include "test_mime_writer.moc"
