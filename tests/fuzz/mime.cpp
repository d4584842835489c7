// The MIME writer and the address parser on any header texts and any tree of parts: every
// header line is a known field or its fold, whatever CR, LF or NUL the texts hold; every
// line ends in CRLF within 998 characters; attachments decode to their bytes; each
// multipart has one plain quoted boundary of at most 70 characters that no line of its
// parts begins with; the subject reads back as given, control characters made blanks; a message is written only with a
// recipient, and the envelope holds no blank, angle bracket or control character.

#include "fuzz_support.h"
#include "mail/mime_writer.h"

#include <QRegularExpression>

namespace {

const QStringList MessageFields{"Date", "From", "Reply-To", "To", "Cc", "Subject", "Message-ID", "MIME-Version"};
const QStringList PartFields{"Content-Type", "Content-Transfer-Encoding", "Content-Disposition"};

void fillPart(MimeComposer &c, FuzzedDataProvider &in, int depth)
{
    MimePart &p = c.current();
    for (QString *text : {&p.contentType, &p.contentSubtype, &p.transferEncoding})
        *text = Fuzz::text(in, 30);
    p.contentParameters = Fuzz::text(in, 200);
    p.disposition = Fuzz::text(in, 200);
    const int kind = in.ConsumeIntegralInRange(0, depth < 2 ? 2 : 1);  // a text, a file or parts
    p.hasBody = kind == 0;
    p.hasFile = kind == 1;
    p.bodyText = p.hasBody ? Fuzz::text(in, 3000) : QString();
    p.fileData = p.hasFile ? Fuzz::bytes(in, 1000) : QByteArray();
    for (int n = kind == 2 ? in.ConsumeIntegralInRange(1, 3) : 0; n > 0; --n) {
        FUZZ_CHECK(c.openPart() && c.activatePart());
        fillPart(c, in, depth + 1);
        FUZZ_CHECK(c.closePart());
    }
}

// The fields of a header block, unfolded, by name; each name at most once.
QMap<QString, QByteArray> fields(const QList<QByteArray> &block, const QStringList &allowed)
{
    QMap<QString, QByteArray> found;
    QString name;
    for (const QByteArray &line : block) {
        if (line.startsWith(' ') || line.startsWith('\t')) {
            FUZZ_CHECK(!name.isEmpty() && !line.trimmed().isEmpty());
            found[name] += line;
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        FUZZ_CHECK(colon > 0);
        name = QString::fromLatin1(line.left(colon));
        FUZZ_CHECK(allowed.contains(name) && !found.contains(name));
        found[name] = line.mid(colon + 1);
    }
    return found;
}

// One entity: its header block, then its body checked against the part it was made of.
QMap<QString, QByteArray> checkEntity(const QList<QByteArray> &entity, const MimePart &part, const QStringList &allowed)
{
    const qsizetype blank = entity.indexOf(QByteArray());
    FUZZ_CHECK(blank > 0);
    const QMap<QString, QByteArray> f = fields(entity.mid(0, blank), allowed);
    const QList<QByteArray> body = entity.mid(blank + 1);
    const QByteArray type = f.value("Content-Type");
    FUZZ_CHECK(type.toLower().startsWith(" multipart/") == !part.children.empty());
    if (part.children.empty()) {
        for (const QByteArray &line : body)  // base64 in lines of at most 76 characters
            FUZZ_CHECK(!part.hasFile || line.size() <= 76);
        const auto decoded = QByteArray::fromBase64Encoding(body.join(), QByteArray::AbortOnBase64DecodingErrors);
        FUZZ_CHECK(!part.hasFile || (decoded && *decoded == part.fileData));
        return f;
    }
    static const QRegularExpression param(QStringLiteral("; boundary=\"([0-9A-Za-z'()+_,\\-./:=?]{1,70})\"(;|$)"));
    const QRegularExpressionMatch m = param.match(QString::fromLatin1(type));
    FUZZ_CHECK(m.hasMatch());
    const QByteArray delimiter = "--" + m.captured(1).toLatin1();
    QList<qsizetype> at;
    for (qsizetype i = 0; i < body.size(); ++i) {
        FUZZ_CHECK(!body[i].startsWith(delimiter) || body[i] == delimiter || body[i] == delimiter + "--");
        if (body[i].startsWith(delimiter))
            at << i;
    }
    FUZZ_CHECK(at.size() == qsizetype(part.children.size()) + 1);
    FUZZ_CHECK(body[at.back()] == delimiter + "--" && at.back() + 2 == body.size() && body.back().isEmpty());
    for (size_t c = 0; c < part.children.size(); ++c) {
        FUZZ_CHECK(body[at[c]] == delimiter);
        checkEntity(body.mid(at[c] + 1, at[c + 1] - at[c] - 1), *part.children[c], PartFields);
    }
    return f;
}

// The text of an unstructured field: RFC 2047 words decoded, or the plain text.
QString unstructured(QByteArray value)
{
    value.replace("\r\n", "");
    if (value.startsWith(' '))
        value.remove(0, 1);
    if (!value.startsWith("=?utf-8?b?"))
        return QString::fromLatin1(value);
    QByteArray utf8;
    for (const QByteArray &word : value.split(' ')) {
        FUZZ_CHECK(word.startsWith("=?utf-8?b?") && word.endsWith("?=") && word.size() <= 75);
        utf8 += QByteArray::fromBase64(word.mid(10, word.size() - 12));
    }
    return QString::fromUtf8(utf8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    MimeComposer c;
    MessageHeaders &h = c.headers;
    for (QString *text : {&h.from, &h.replyTo, &h.to, &h.cc, &h.subject, &h.dateText, &h.messageTag, &h.boundary})
        *text = Fuzz::text(in, 120);
    const MessageHeaders given = h;
    fillPart(c, in, 0);
    const ComposedMessage m = c.compose(QStringLiteral("localhost"));
    if (!m.error.isEmpty()) {
        FUZZ_CHECK(m.bytes.isEmpty());
        return 0;
    }
    FUZZ_CHECK(!m.recipients.isEmpty());
    static const QRegularExpression notInAnAddress(QStringLiteral("[\\p{Cc} <>]"));
    for (const QString &address : m.recipients + QStringList(m.envelopeFrom))
        FUZZ_CHECK(!address.isEmpty() && !address.contains(notInAnAddress));

    // Only CRLF ends a line.
    FUZZ_CHECK(m.bytes.count('\r') == m.bytes.count("\r\n") && m.bytes.count('\n') == m.bytes.count("\r\n"));
    QList<QByteArray> lines = m.bytes.split('\n');
    for (QByteArray &line : lines) {
        line.chop(line.endsWith('\r') ? 1 : 0);
        FUZZ_CHECK(line.size() <= 998);
    }
    const QMap<QString, QByteArray> top = checkEntity(lines, c.current(), MessageFields + PartFields);  // the root
    // The subject as given, each control character a blank.
    static const QRegularExpression control(QStringLiteral("\\p{Cc}"));
    FUZZ_CHECK(unstructured(top.value("Subject")) == QString(given.subject).replace(control, QStringLiteral(" ")));
    // Every recipient of the envelope is written in the To or Cc field.
    for (const QString &recipient : m.recipients)
        FUZZ_CHECK((top.value("To") + top.value("Cc")).contains(recipient.toUtf8()));
    return 0;
}
