#include "mail/mime_writer.h"

#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTimeZone>

namespace {

// Short enough that "Reply-To: " and a word still fit in 78 characters.
constexpr int MaxEncodedWord = 66;
constexpr int FoldWidth = 78;
const QByteArray CRLF("\r\n");

bool isAscii(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\0')
            return false;
    }
    return true;
}

bool isAscii(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80 || c.unicode() == 0)
            return false;
    }
    return true;
}

// Line breaks, NUL and every other control character become blanks: none may reach a header.
QString singleLine(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
}

// RFC 2047 "B" words for the text, each at most 75 characters, split on character
// boundaries so that every word decodes on its own.
QList<QByteArray> encodedWords(const QString &text)
{
    const QByteArray prefix("=?utf-8?b?");
    const QByteArray suffix("?=");
    const int maxBytes = ((MaxEncodedWord - prefix.size() - suffix.size()) / 4) * 3;
    QList<QByteArray> words;
    QByteArray chunk;
    for (int i = 0; i < text.size(); ++i) {
        int len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QByteArray piece = text.mid(i, len).toUtf8();
        i += len - 1;
        if (chunk.size() + piece.size() > maxBytes) {
            words << prefix + chunk.toBase64() + suffix;
            chunk.clear();
        }
        chunk += piece;
    }
    if (!chunk.isEmpty() || words.isEmpty())
        words << prefix + chunk.toBase64() + suffix;
    return words;
}

// Joins tokens into a header field, folding before a token that would pass the width.
QByteArray fold(const char *name, const QList<QByteArray> &tokens, const QByteArray &separator)
{
    QByteArray field = QByteArray(name) + ":";
    int lineLength = field.size();
    for (int i = 0; i < tokens.size(); ++i) {
        const QByteArray token = tokens[i] + (i + 1 < tokens.size() ? separator : QByteArray());
        if (i > 0 && lineLength + 1 + token.size() > FoldWidth) {
            field += CRLF;
            lineLength = 0;
        }
        field += ' ' + token;
        lineLength += 1 + token.size();
    }
    return field + CRLF;
}

bool needsQuoting(const QString &display)
{
    static const QString specials = QStringLiteral("()<>[]:;@\\,.\"");
    for (QChar c : display) {
        if (specials.contains(c))
            return true;
    }
    return false;
}

QByteArray quotedString(const QString &text)
{
    QByteArray out = "\"";
    for (char c : text.toLatin1()) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// Splits a parameter text such as `name="a b.wav"; x=1` into name and value pairs. A
// quote ends a quoted value only when the parameter ends after it, so a file name that
// itself holds quotes comes through whole.
QList<QPair<QString, QString>> splitParameters(const QString &text)
{
    QList<QPair<QString, QString>> list;
    int i = 0;
    const int n = text.size();
    while (i < n) {
        while (i < n && (text[i] == QLatin1Char(';') || text[i].isSpace()))
            ++i;
        const int eq = text.indexOf(QLatin1Char('='), i);
        if (i >= n || eq < 0)
            break;
        const QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text[i] == QLatin1Char(' '))
            ++i;
        QString value;
        if (i < n && text[i] == QLatin1Char('"')) {
            int end = -1;
            for (int j = i + 1; j < n; ++j) {
                if (text[j] != QLatin1Char('"'))
                    continue;
                int k = j + 1;
                while (k < n && text[k] == QLatin1Char(' '))
                    ++k;
                if (k >= n || text[k] == QLatin1Char(';')) {
                    end = j;
                    break;
                }
            }
            if (end < 0)
                end = n;
            value = text.mid(i + 1, end - i - 1);
            i = end + 1;
        } else {
            const int semi = text.indexOf(QLatin1Char(';'), i);
            const int end = semi < 0 ? n : semi;
            value = text.mid(i, end - i).trimmed();
            i = end;
        }
        if (!key.isEmpty())
            list.append({key, value});
    }
    return list;
}

bool isToken(const QString &text)
{
    if (text.isEmpty())
        return false;
    static const QString specials = QStringLiteral("()<>@,;:\\\"/[]?= ");
    for (QChar c : text) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || specials.contains(c))
            return false;
    }
    return true;
}

QString typeToken(const QString &text, const char *fallback)
{
    const QString t = singleLine(text).trimmed().toLower();
    return isToken(t) ? t : QString::fromLatin1(fallback);
}

}  // namespace

namespace Mime {

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    out.reserve(encoded.size() + encoded.size() / 76 * 2 + 2);
    for (int i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + CRLF;
    return out;
}

QByteArray quotedPrintable(const QByteArray &data)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    const QList<QByteArray> lines = data.split('\n');
    for (int l = 0; l < lines.size(); ++l) {
        QByteArray line = lines[l];
        if (line.endsWith('\r'))
            line.chop(1);
        int width = 0;
        for (int i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            const bool last = i + 1 == line.size();
            QByteArray piece;
            if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
                piece = QByteArray(1, char(c));
            else
                piece = QByteArray("=") + hex[c >> 4] + hex[c & 15];
            // Keep room for a soft break "=" within 76 characters.
            if (width + piece.size() > 75) {
                out += "=\r\n";
                width = 0;
            }
            out += piece;
            width += piece.size();
        }
        if (l + 1 < lines.size())
            out += CRLF;
    }
    return out;
}

QString crlfLines(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

QByteArray unstructuredField(const char *name, const QString &value)
{
    const QString clean = singleLine(value);
    bool plain = isAscii(clean) && !clean.contains(QStringLiteral("=?"));
    const QStringList words = clean.split(QLatin1Char(' '));
    for (const QString &w : words)
        plain = plain && w.size() <= 70;
    if (plain && !clean.isEmpty()) {
        QList<QByteArray> tokens;
        for (const QString &w : words)
            tokens << w.toLatin1();
        // Blanks are kept as empty tokens so that the text comes back unchanged.
        QByteArray field = QByteArray(name) + ":";
        int lineLength = field.size();
        for (int i = 0; i < tokens.size(); ++i) {
            if (i > 0 && !tokens[i].isEmpty() && lineLength + 1 + tokens[i].size() > FoldWidth) {
                field += CRLF;
                lineLength = 0;
            }
            field += ' ' + tokens[i];
            lineLength += 1 + tokens[i].size();
        }
        return field + CRLF;
    }
    if (clean.isEmpty())
        return QByteArray(name) + ":" + CRLF;
    return fold(name, encodedWords(clean), QByteArray());
}

QByteArray addressField(const char *name, const QVector<MailAddress> &list)
{
    // Tokens fold only between them; a long encoded name is several tokens.
    QList<QByteArray> tokens;
    for (int n = 0; n < list.size(); ++n) {
        const MailAddress &a = list[n];
        const QByteArray address = "<" + a.address.toUtf8() + ">";
        QList<QByteArray> words;
        if (a.display.isEmpty())
            words << a.address.toUtf8();
        else if (!isAscii(a.display))
            words = encodedWords(a.display) << address;
        else
            words << (needsQuoting(a.display) ? quotedString(a.display) : a.display.toLatin1()) << address;
        if (n + 1 < list.size())
            words.last() += ',';
        tokens += words;
    }
    return fold(name, tokens, QByteArray());
}

QByteArray parameter(const QString &name, const QString &value)
{
    const QString clean = singleLine(value);
    const QByteArray key = name.toLatin1();
    if (isAscii(clean)) {
        const QByteArray quoted = quotedString(clean);
        if (quoted.size() + key.size() < 70)
            return key + "=" + quoted;
    }
    // RFC 2231: percent-encoded UTF-8, continued in pieces that keep the lines short.
    static const QByteArray attrChars("!#$&+-.^_`|~");
    QList<QByteArray> pieces;
    QByteArray piece;
    const QByteArray utf8 = clean.toUtf8();
    int i = 0;
    while (i < utf8.size()) {
        // Whole characters only: a UTF-8 sequence stays in one piece.
        int len = 1;
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead >= 0xF0) len = 4;
        else if (lead >= 0xE0) len = 3;
        else if (lead >= 0xC0) len = 2;
        QByteArray encoded;
        for (int k = 0; k < len && i + k < utf8.size(); ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + k]);
            if (std::isalnum(c) && c < 0x80)
                encoded += char(c);
            else if (attrChars.contains(char(c)))
                encoded += char(c);
            else
                encoded += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        }
        i += len;
        if (piece.size() + encoded.size() > 50) {
            pieces << piece;
            piece.clear();
        }
        piece += encoded;
    }
    pieces << piece;
    if (pieces.size() == 1)
        return key + "*=utf-8''" + pieces.first();
    QByteArray out;
    for (int p = 0; p < pieces.size(); ++p) {
        if (p > 0)
            out += ";\r\n ";
        out += key + "*" + QByteArray::number(p) + "*=" + (p == 0 ? "utf-8''" : "") + pieces[p];
    }
    return out;
}

QByteArray rfc5322Date(const QDateTime &local)
{
    const QLocale c = QLocale::c();
    const int offset = local.offsetFromUtc() / 60;
    const int absOffset = offset < 0 ? -offset : offset;
    const QString zone = QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
    return (c.toString(local, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) + zone).toLatin1();
}

QDateTime parseDateText(const QString &text)
{
    const QDateTime parsed = QLocale::c().toDateTime(text.trimmed(), QStringLiteral("dddd, MMMM dd, yyyy hh:mm AP"));
    return parsed;
}

}  // namespace Mime

MimeComposer::MimeComposer()
{
    begin();
}

void MimeComposer::begin()
{
    m_root = std::make_unique<MimePart>();
    m_current = m_root.get();
    m_opened = nullptr;
    headers = MessageHeaders();
    m_error.clear();
}

bool MimeComposer::openPart()
{
    auto part = std::make_unique<MimePart>();
    part->parent = m_current;
    m_opened = part.get();
    m_current->children.push_back(std::move(part));
    return true;
}

bool MimeComposer::activatePart()
{
    if (!m_opened) {
        m_error = QStringLiteral("No part was opened");
        return false;
    }
    m_current = m_opened;
    m_opened = nullptr;
    return true;
}

bool MimeComposer::closePart()
{
    if (!m_current->parent) {
        m_error = QStringLiteral("No part is open");
        return false;
    }
    m_current = m_current->parent;
    return true;
}

bool MimeComposer::attachFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return false;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() != file.size()) {
        m_error = file.errorString();
        return false;
    }
    m_current->fileData = std::move(data);
    m_current->hasFile = true;
    return true;
}

namespace {

struct Writer
{
    QByteArray partHeaders(const MimePart &part, const QByteArray &boundary) const;
    QByteArray partBody(const MimePart &part, const QByteArray &boundary) const;
    QByteArray textBody(const MimePart &part, QByteArray *type, QByteArray *encoding) const;
    QByteArray write(const MimePart &part, const QByteArray &boundary, bool topLevel, QByteArray *head) const;
};

QByteArray Writer::textBody(const MimePart &part, QByteArray *charset, QByteArray *encoding) const
{
    const QByteArray text = Mime::crlfLines(part.bodyText).toUtf8();
    bool shortLines = true;
    for (const QByteArray &line : text.split('\n'))
        shortLines = shortLines && line.size() <= 998;
    const bool ascii = isAscii(text);
    *charset = ascii ? "us-ascii" : "utf-8";
    if (ascii && shortLines) {
        *encoding = "7bit";
        return text;
    }
    *encoding = "quoted-printable";
    return Mime::quotedPrintable(text);
}

QByteArray Writer::write(const MimePart &part, const QByteArray &boundary, bool topLevel, QByteArray *head) const
{
    const bool multipart = !part.children.empty();
    const QString type = typeToken(part.contentType, multipart ? "multipart" : "text");
    const QString subtype = typeToken(part.contentSubtype, multipart ? "mixed" : "plain");
    QList<QByteArray> params;
    QByteArray body;
    QByteArray encoding;
    if (multipart) {
        params << Mime::parameter(QStringLiteral("boundary"), QString::fromLatin1(boundary));
        body = "This is a multi-part message in MIME format." + CRLF;
        for (const auto &child : part.children) {
            QByteArray childHead;
            const QByteArray childBody = write(*child, boundary, false, &childHead);
            body += CRLF + "--" + boundary + CRLF + childHead + CRLF + childBody;
        }
        body += CRLF + "--" + boundary + "--" + CRLF;
    } else if (part.hasFile) {
        for (const auto &[key, value] : splitParameters(part.contentParameters)) {
            if (key.compare(QLatin1String("charset"), Qt::CaseInsensitive) != 0)
                params << Mime::parameter(key.toLower(), value);
        }
        encoding = "base64";
        body = Mime::base64Lines(part.fileData);
    } else {
        QByteArray charset;
        body = textBody(part, &charset, &encoding);
        params << "charset=" + charset;
    }
    QByteArray h = "Content-Type: " + QString(type + QLatin1Char('/') + subtype).toLatin1();
    for (const QByteArray &p : params)
        h += ";" + CRLF + " " + p;
    h += CRLF;
    if (!encoding.isEmpty())
        h += "Content-Transfer-Encoding: " + encoding + CRLF;
    const QString disposition = singleLine(part.disposition).trimmed();
    if (!disposition.isEmpty() && !topLevel) {
        const QString kind = typeToken(disposition.section(QLatin1Char(';'), 0, 0), "attachment");
        h += "Content-Disposition: " + kind.toLatin1();
        for (const auto &[key, value] : splitParameters(disposition.section(QLatin1Char(';'), 1)))
            h += ";" + CRLF + " " + Mime::parameter(key.toLower(), value);
        h += CRLF;
    }
    *head = h;
    return body;
}

bool containsBoundary(const MimePart &part, const QByteArray &boundary)
{
    if (!part.hasFile && Mime::crlfLines(part.bodyText).toUtf8().contains(boundary))
        return true;
    for (const auto &child : part.children) {
        if (containsBoundary(*child, boundary))
            return true;
    }
    return false;
}

}  // namespace

ComposedMessage MimeComposer::compose(const QString &fallbackDomain) const
{
    ComposedMessage result;
    // One reading of each field serves the envelope and the header.
    const AddressList lists[] = {ParseAddressList(headers.from), ParseAddressList(headers.replyTo),
                                 ParseAddressList(headers.to), ParseAddressList(headers.cc)};
    for (const AddressList &list : lists) {
        if (!list.ok()) {
            result.error = QStringLiteral("Not an e-mail address: ") + list.notAnAddress;
            return result;
        }
    }
    const QVector<MailAddress> &from = lists[0].addresses, &replyTo = lists[1].addresses, &to = lists[2].addresses,
                               &cc = lists[3].addresses;
    if (from.isEmpty()) {
        result.error = QStringLiteral("The message has no sender");
        return result;
    }
    for (const MailAddress &a : to + cc) {
        if (!result.recipients.contains(a.address))
            result.recipients << a.address;
    }
    if (result.recipients.isEmpty()) {
        result.error = QStringLiteral("The message has no recipient");
        return result;
    }
    result.envelopeFrom = from.first().address;

    QByteArray boundary = singleLine(headers.boundary).trimmed().toLatin1();
    if (boundary.isEmpty() || !isToken(QString::fromLatin1(boundary)))
        boundary = QByteArray::number(QRandomGenerator::global()->generate()) + "_boundary";
    while (containsBoundary(*m_root, boundary))
        boundary += "_" + QByteArray::number(QRandomGenerator::global()->bounded(10));

    QDateTime when = Mime::parseDateText(headers.dateText);
    if (!when.isValid())
        when = QDateTime::currentDateTime();
    QString domain = AddressDomain(headers.from);
    if (domain.isEmpty())
        domain = fallbackDomain;
    QString tag = singleLine(headers.messageTag).trimmed();
    tag.remove(QLatin1Char(' ')).remove(QLatin1Char('<')).remove(QLatin1Char('>'));

    QByteArray out;
    out += "Date: " + Mime::rfc5322Date(when) + CRLF;
    out += Mime::addressField("From", from);
    if (!replyTo.isEmpty())
        out += Mime::addressField("Reply-To", replyTo);
    if (!to.isEmpty())
        out += Mime::addressField("To", to);
    if (!cc.isEmpty())
        out += Mime::addressField("Cc", cc);
    out += Mime::unstructuredField("Subject", headers.subject);
    if (!tag.isEmpty())
        out += "Message-ID: <" + tag.toUtf8() + "@" + domain.toUtf8() + ">" + CRLF;
    out += "MIME-Version: 1.0" + CRLF;
    QByteArray head;
    const QByteArray body = Writer().write(*m_root, boundary, true, &head);
    result.bytes = out + head + CRLF + body;
    return result;
}
