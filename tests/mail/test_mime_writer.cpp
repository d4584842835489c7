// The message the control writes, read back by Python's email package (policy.strict).

#include "mail/cmail.h"
#include "mail/mime_writer.h"
#include "tests/support/mail/mail_servers.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

class TestMimeWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString &name, const QByteArray &data)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(data);
        return path;
    }

    // The call order the form uses for one attachment.
    static bool attach(MimeComposer &c, const QString &path, const QString &type, const QString &subtype,
                       const QString &name)
    {
        if (!c.openPart() || !c.activatePart())
            return false;
        c.current().contentType = type;
        c.current().contentSubtype = subtype;
        c.current().contentParameters = QStringLiteral("name=\"%1\"").arg(name);
        c.current().transferEncoding = QStringLiteral("base64");
        c.current().disposition = QStringLiteral("attachment; filename=\"%1\"").arg(name);
        return c.attachFile(path) && c.closePart();
    }

    static void headers(MimeComposer &c)
    {
        c.headers.from = QStringLiteral("<ann@example.test>");
        c.headers.replyTo = QStringLiteral("<ann@example.test>");
        c.headers.to = QStringLiteral("bob@example.test");
        c.headers.subject = QStringLiteral("Voice message from Ann");
        c.headers.dateText = QStringLiteral("Saturday, December 06, 2025 07:39 PM");
        c.headers.messageTag = QStringLiteral("20251261939017TAVEMAIL");
    }

    QJsonObject parse(const ComposedMessage &m)
    {
        static int n = 0;
        const QString path = writeFile(QStringLiteral("m%1.eml").arg(++n), m.bytes);
        return MailTest::checkMessage(path);
    }

    static QByteArray longestLine(const QByteArray &bytes)
    {
        QByteArray longest;
        for (const QByteArray &line : bytes.split('\n'))
            longest = line.size() > longest.size() ? line : longest;
        return longest;
    }

    static QString md5(const QByteArray &data)
    {
        return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
    }

private slots:
    void multipartWithAttachmentsInOrderAndTextLast()
    {
        QByteArray wav(243'765, '\0');
        for (char &b : wav)
            b = char(QRandomGenerator::global()->bounded(256));
        const QString wavPath = writeFile(QStringLiteral("orv1.wav"), wav);
        const QString txtPath = writeFile(QStringLiteral("notes.txt"), "plain notes\r\n");
        MimeComposer c;
        headers(c);
        c.headers.boundary = QStringLiteral("12345_boundary");
        c.current().contentType = QStringLiteral("multipart");
        c.current().contentSubtype = QStringLiteral("mixed");
        QVERIFY(attach(c, wavPath, QStringLiteral("audio"), QStringLiteral("basic"), QStringLiteral("orv1.wav")));
        QVERIFY(attach(c, txtPath, QStringLiteral("text"), QStringLiteral("plain"), QStringLiteral("notes.txt")));
        QVERIFY(c.openPart() && c.activatePart());
        c.current().contentType = QStringLiteral("text");
        c.current().contentSubtype = QStringLiteral("plain");
        c.current().bodyText = QStringLiteral("Hello,\r\n\r\nthe voice\n\n\n") + QString(110, QLatin1Char('-')) + "\n";
        QVERIFY(c.closePart());
        const ComposedMessage m = c.compose(QStringLiteral("localhost"));
        QVERIFY(m.error.isEmpty());
        QCOMPARE(m.envelopeFrom, QStringLiteral("ann@example.test"));
        QCOMPARE(m.recipients, QStringList{QStringLiteral("bob@example.test")});

        const QJsonObject o = parse(m);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QVERIFY(o.value("crlf_only").toBool());
        // The footer's rule of 110 hyphens is the longest line; 7bit allows 998.
        QCOMPARE(o.value("max_line").toInt(), 110);
        QCOMPARE(o.value("type").toString(), QStringLiteral("multipart/mixed"));
        const QJsonObject h = o.value("headers").toObject();
        QCOMPARE(h.value("MIME-Version").toString(), QStringLiteral("1.0"));
        QCOMPARE(h.value("Message-ID").toString(), QStringLiteral("<20251261939017TAVEMAIL@example.test>"));
        QVERIFY2(h.value("Date").toString().startsWith(QStringLiteral("Sat, 06 Dec 2025 19:39:00 ")),
                 qPrintable(h.value("Date").toString()));
        const QJsonArray parts = o.value("parts").toArray();
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts[0].toObject().value("type").toString(), QStringLiteral("audio/basic"));
        QCOMPARE(parts[0].toObject().value("filename").toString(), QStringLiteral("orv1.wav"));
        QCOMPARE(parts[0].toObject().value("md5").toString(), md5(wav));
        QCOMPARE(parts[1].toObject().value("type").toString(), QStringLiteral("text/plain"));
        QCOMPARE(parts[1].toObject().value("filename").toString(), QStringLiteral("notes.txt"));
        const QJsonObject text = parts[2].toObject();
        QCOMPARE(text.value("charset").toString(), QStringLiteral("us-ascii"));
        QCOMPARE(text.value("encoding").toString(), QStringLiteral("7bit"));
        QVERIFY(text.value("filename").isNull());
        // Base64 lines of 76 characters.
        const int firstLine = m.bytes.indexOf("\r\n\r\n", m.bytes.indexOf("audio/basic")) + 4;
        QCOMPARE(m.bytes.indexOf("\r\n", firstLine) - firstLine, 76);
    }

    void singleTextPartWithoutAttachments()
    {
        MimeComposer c;
        headers(c);
        c.current().contentType = QStringLiteral("text");
        c.current().contentSubtype = QStringLiteral("plain");
        c.current().contentParameters = QStringLiteral("charset=us-ascii");
        c.current().bodyText = QStringLiteral("test message");
        const QJsonObject o = parse(c.compose(QStringLiteral("localhost")));
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QCOMPARE(o.value("type").toString(), QStringLiteral("text/plain"));
        QCOMPARE(o.value("parts").toArray().size(), 1);
        QCOMPARE(o.value("parts").toArray()[0].toObject().value("text").toString(), QStringLiteral("test message"));
    }

    void noHeaderCanBeInjected()
    {
        MimeComposer c;
        headers(c);
        c.headers.to = QStringLiteral("bob@example.test\r\nBcc: eve@example.test");
        c.headers.cc = QStringLiteral("carl@example.test\nX-Evil: 1");
        c.headers.subject = QStringLiteral("Hi\r\nBcc: eve@example.test\r\n\r\nbody");
        c.headers.from = QStringLiteral("<ann@example.test>\r\nX-Evil: 2");
        c.current().bodyText = QStringLiteral("text");
        const ComposedMessage m = c.compose(QStringLiteral("localhost"));
        const QJsonObject o = parse(m);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        const QJsonObject h = o.value("headers").toObject();
        QVERIFY(!h.contains("Bcc"));
        QVERIFY(!h.contains("X-Evil"));
        QCOMPARE(h.value("Subject").toString(), QStringLiteral("Hi  Bcc: eve@example.test    body"));
        QCOMPARE(h.value("To").toString(), QStringLiteral("bob@example.test"));
        QCOMPARE(m.recipients, (QStringList{QStringLiteral("bob@example.test"), QStringLiteral("carl@example.test")}));
    }

    void nonAsciiIsLabelledAndComesBack()
    {
        const QString name = QStringLiteral("Grüße \"aus\" Köln – 日本.wav");
        const QString path = writeFile(QStringLiteral("umlaut.wav"), "RIFF....WAVE");
        MimeComposer c;
        headers(c);
        c.headers.to = QStringLiteral("Jürgen Müller <juergen@example.test>, \"Smith, Ann\" <ann@example.test>");
        c.headers.subject = QStringLiteral("Sprachnachricht von Zoë – ") + QString(60, QChar(0x00e9));
        c.current().contentType = QStringLiteral("multipart");
        QVERIFY(attach(c, path, QStringLiteral("audio"), QStringLiteral("basic"), name));
        QVERIFY(c.openPart() && c.activatePart());
        c.current().contentParameters = QStringLiteral("charset=us-ascii");
        c.current().transferEncoding = QStringLiteral("7bit");
        const QString body = QStringLiteral("Hallo Jürgen,\r\nein sehr langer Satz ") + QString(200, QChar(0x00fc));
        c.current().bodyText = body;
        QVERIFY(c.closePart());
        const ComposedMessage m = c.compose(QStringLiteral("localhost"));
        const QJsonObject o = parse(m);
        QVERIFY2(!o.contains("error"), qPrintable(o.value("error").toString()));
        QVERIFY2(o.value("max_line").toInt() <= 78, longestLine(m.bytes).constData());
        const QJsonObject h = o.value("headers").toObject();
        QCOMPARE(h.value("Subject").toString(), c.headers.subject);
        QCOMPARE(h.value("To").toString(),
                 QStringLiteral("Jürgen Müller <juergen@example.test>, \"Smith, Ann\" <ann@example.test>"));
        const QJsonArray parts = o.value("parts").toArray();
        QCOMPARE(parts[0].toObject().value("filename").toString(), name);
        const QJsonObject text = parts[1].toObject();
        QCOMPARE(text.value("charset").toString(), QStringLiteral("utf-8"));
        QCOMPARE(text.value("encoding").toString(), QStringLiteral("quoted-printable"));
        QCOMPARE(text.value("text").toString(), body);
    }

    void actionsOutOfOrderAndUnreadableFilesAreRefused()
    {
        CMail mail;
        mail.SetBlocking(true);
        mail.SetAction(11);
        mail.SetAction(7);  // no part opened
        QVERIFY(mail.GetResultCode() != 0);
        mail.SetAction(2);  // nothing to close
        QVERIFY(mail.GetResultCode() != 0);
        mail.SetAction(4);
        mail.SetAction(7);
        QCOMPARE(mail.GetResultCode(), short(0));
        mail.SetAttachmentPath(m_dir.filePath(QStringLiteral("missing.wav")));
        mail.SetAction(9);
        QVERIFY(mail.GetResultCode() != 0);
        QVERIFY(mail.GetErrorText().contains(QStringLiteral("missing.wav")));
        mail.SetAction(2);
        QCOMPARE(mail.GetResultCode(), short(0));
        mail.SetAction(99);
        QVERIFY(mail.GetResultCode() != 0);
        // A message without a recipient is not sent.
        mail.SetFrom(QStringLiteral("<ann@example.test>"));
        mail.SetAction(15);
        QVERIFY(mail.GetResultCode() != 0);
    }

    void encoders()
    {
        QCOMPARE(Mime::base64Lines(QByteArray(57, 'a')).size(), 76 + 2);
        QCOMPARE(Mime::base64Lines(QByteArray(58, 'a')).count("\r\n"), 2);
        const QByteArray qp = Mime::quotedPrintable(QByteArray(200, 'x') + "\r\nend =\t \r\n");
        for (const QByteArray &line : qp.split('\n'))
            QVERIFY(line.size() <= 77);
        QVERIFY(qp.contains("end =3D=09=20") || qp.contains("end =3D\t=20"));
        QCOMPARE(Mime::crlfLines(QStringLiteral("a\nb\r\nc\rd")), QStringLiteral("a\r\nb\r\nc\r\nd"));
        QCOMPARE(Mime::parameter(QStringLiteral("name"), QStringLiteral("a\"b.wav")), QByteArray("name=\"a\\\"b.wav\""));
        QCOMPARE(Mime::parameter(QStringLiteral("name"), QStringLiteral("ä.wav")), QByteArray("name*=utf-8''%C3%A4.wav"));
        const QDateTime t = Mime::parseDateText(QStringLiteral("Monday, January 05, 2004 03:04 PM"));
        QVERIFY(t.isValid());
        QCOMPARE(t.time(), QTime(15, 4));
        QVERIFY(Mime::rfc5322Date(t).startsWith("Mon, 05 Jan 2004 15:04:00 "));
    }
};

QTEST_GUILESS_MAIN(TestMimeWriter)
#include "test_mime_writer.moc"
