// The encoders of header fields and bodies of the standard message format.

#include "mail/mime_writer.h"

#include <QLocale>

namespace {

// Short enough that "Reply-To: " and a word still fit in 78 characters.
constexpr int MaxEncodedWord = 66;
constexpr int FoldWidth = 78;
const QByteArray CRLF("\r\n");

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

// A parameter name we can write as it is and as RFC 2231 pieces: a token without the
// characters those pieces give a meaning to, short enough for one header line.
bool isAttribute(const QString &name)
{
    return name.size() <= 60 && Mime::isToken(name) && !name.contains(QLatin1Char('*'))
           && !name.contains(QLatin1Char('\'')) && !name.contains(QLatin1Char('%'));
}

}  // namespace

namespace Mime {

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

// A header text on one line: control characters (CR, LF, NUL, tabs, ...), which would
// break or hide a header, become blanks.
QString singleLine(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
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

QByteArray base64Lines(const QByteArray &data)
{
    QByteArray out;
    appendBase64Lines(out, data);
    return out;
}

void appendBase64Lines(QByteArray &out, const QByteArray &data)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    constexpr int LineChars = 76;
    const qsizetype n = data.size();
    const qsizetype chars = (n + 2) / 3 * 4;
    const qsizetype start = out.size();
    out.resize(start + chars + (chars + LineChars - 1) / LineChars * 2);
    char *p = out.data() + start;
    const auto *in = reinterpret_cast<const uchar *>(data.constData());
    int column = 0;
    for (qsizetype i = 0; i < n; i += 3) {
        const uint b0 = in[i];
        const uint b1 = i + 1 < n ? in[i + 1] : 0;
        const uint b2 = i + 2 < n ? in[i + 2] : 0;
        *p++ = alphabet[b0 >> 2];
        *p++ = alphabet[(b0 & 3) << 4 | b1 >> 4];
        *p++ = i + 1 < n ? alphabet[(b1 & 15) << 2 | b2 >> 6] : '=';
        *p++ = i + 2 < n ? alphabet[b2 & 63] : '=';
        column += 4;
        if (column == LineChars || i + 3 >= n) {
            *p++ = '\r';
            *p++ = '\n';
            column = 0;
        }
    }
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
    // A name that is no token (CR, LF, blanks, quotes, ...) cannot be written at all.
    if (!isAttribute(name))
        return QByteArray();
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
