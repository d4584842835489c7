// The MIME writer and the address parser on any header texts and any tree of parts: every
// header line is a known field or its fold, whatever CR, LF or NUL the texts hold; every
// line ends in CRLF within 998 characters; attachments decode to their bytes; each
// multipart has one plain quoted boundary of at most 70 characters that no line of its
// parts begins with; the subject reads back as given; the envelope holds no line break,
// blank or NUL.

#include "fuzz_support.h"
#include "mail/mime_writer.h"

#include <QRegularExpression>

namespace {

const QByteArray CRLF("\r\n");
const QStringList MessageFields{"Date", "From", "Reply-To", "To", "Cc", "Subject", "Message-ID", "MIME-Version"};
const QStringList PartFields{"Content-Type", "Content-Transfer-Encoding", "Content-Disposition"};

void fillPart(MimeComposer &c, FuzzedDataProvider &in, int depth)
{
    MimePart &p = c.current();
    p.contentType = Fuzz::text(in, 30);
    p.contentSubtype = Fuzz::text(in, 30);
    p.contentParameters = Fuzz::text(in, 200);
    p.transferEncoding = Fuzz::text(in, 20);
    p.disposition = Fuzz::text(in, 200);
    switch (in.ConsumeIntegralInRange(0, depth < 2 ? 2 : 1)) {
    case 0:
        p.bodyText = Fuzz::text(in, 3000);
        p.hasBody = true;
        break;
    case 1:
        p.fileData = Fuzz::bytes(in, 1000);
        p.hasFile = true;
        break;
    default:
        for (int n = in.ConsumeIntegralInRange(1, 3); n > 0; --n) {
            FUZZ_CHECK(c.openPart() && c.activatePart());
            fillPart(c, in, depth + 1);
            FUZZ_CHECK(c.closePart());
        }
    }
}

QList<QByteArray> lines(const QByteArray &text)
{
    QList<QByteArray> all;
    for (qsizetype from = 0;;) {
        const qsizetype end = text.indexOf(CRLF, from);
        if (end < 0)
            return all << text.mid(from);
        all << text.mid(from, end - from);
        from = end + 2;
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
void checkEntity(const QList<QByteArray> &entity, const MimePart &part, const QStringList &allowed,
                 QMap<QString, QByteArray> *headers = nullptr)
{
    const qsizetype blank = entity.indexOf(QByteArray());
    FUZZ_CHECK(blank > 0);
    const QMap<QString, QByteArray> f = fields(entity.mid(0, blank), allowed);
    if (headers)
        *headers = f;
    const QList<QByteArray> body = entity.mid(blank + 1);
    const QByteArray type = f.value("Content-Type");
    if (part.children.empty()) {
        FUZZ_CHECK(!type.toLower().startsWith(" multipart/"));
        if (part.hasFile) {  // base64 in lines of at most 76 characters
            for (const QByteArray &line : body)
                FUZZ_CHECK(line.size() <= 76);
            FUZZ_CHECK(QByteArray::fromBase64(body.join(), QByteArray::AbortOnBase64DecodingErrors) == part.fileData);
        }
        return;
    }
    FUZZ_CHECK(type.startsWith(" multipart/"));
    static const QRegularExpression param(QStringLiteral("; boundary=\"([^\"]*)\"(;|$)"));
    const QRegularExpressionMatch m = param.match(QString::fromLatin1(type));
    FUZZ_CHECK(m.hasMatch());
    const QByteArray boundary = m.captured(1).toLatin1();
    static const QRegularExpression bchars(QStringLiteral("^[0-9A-Za-z'()+_,\\-./:=?]{1,70}$"));
    FUZZ_CHECK(bchars.match(QString::fromLatin1(boundary)).hasMatch());
    const QByteArray delimiter = "--" + boundary;
    QList<qsizetype> at;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i].startsWith(delimiter)) {
            FUZZ_CHECK(body[i] == delimiter || body[i] == delimiter + "--");
            at << i;
        }
    }
    FUZZ_CHECK(at.size() == qsizetype(part.children.size()) + 1);
    FUZZ_CHECK(body[at.back()] == delimiter + "--" && at.back() + 2 == body.size() && body.back().isEmpty());
    for (size_t c = 0; c < part.children.size(); ++c) {
        FUZZ_CHECK(body[at[c]] == delimiter);
        checkEntity(body.mid(at[c] + 1, at[c + 1] - at[c] - 1), *part.children[c], PartFields);
    }
}

// The text of an unstructured field: RFC 2047 words decoded, or the plain text.
QString unstructured(QByteArray value)
{
    value.replace(CRLF, "");
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

// A header text loses its control characters: each becomes a blank.
QString asHeaderText(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text;
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
    const QStringList envelope = QStringList(m.recipients) << m.envelopeFrom;
    for (const QString &address : envelope) {
        FUZZ_CHECK(!address.isEmpty());
        for (const char c : {' ', '\t', '\r', '\n', '\0', '<', '>'})
            FUZZ_CHECK(!address.contains(QLatin1Char(c)));
    }

    const QList<QByteArray> all = lines(m.bytes);
    for (const QByteArray &line : all)
        FUZZ_CHECK(line.size() <= 998 && !line.contains('\r') && !line.contains('\n'));
    QMap<QString, QByteArray> top;
    checkEntity(all, c.current(), MessageFields + PartFields, &top);  // current() is the root again

    FUZZ_CHECK(unstructured(top.value("Subject")) == asHeaderText(given.subject));
    // Every recipient of the envelope is written in the To or Cc field.
    for (const QString &recipient : m.recipients) {
        const QByteArray word = recipient.toUtf8();
        FUZZ_CHECK((top.value("To") + top.value("Cc")).contains(word));
    }
    return 0;
}
