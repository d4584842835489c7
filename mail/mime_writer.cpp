#include "mail/mime_writer.h"

#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTimeZone>

#include <algorithm>

namespace {

const QByteArray CRLF("\r\n");

using Mime::isAscii;
using Mime::isToken;
using Mime::singleLine;

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

QString typeToken(const QString &text, const char *fallback)
{
    const QString t = singleLine(text).trimmed().toLower();
    return isToken(t) ? t : QString::fromLatin1(fallback);
}

// The characters a boundary may hold (RFC 2046, without the blank), and its longest length.
constexpr int MaxBoundary = 70;

bool isBoundary(const QByteArray &text)
{
    static const QByteArray others("'()+_,-./:=?");
    if (text.isEmpty() || text.size() > MaxBoundary)
        return false;
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && !others.contains(c))
            return false;
    }
    return true;
}

// True when a line of the text begins with "--" and one of the boundaries.
bool startsALine(const QByteArray &text, const QList<QByteArray> &boundaries)
{
    qsizetype at = 0;
    while (at < text.size()) {
        if (text.at(at) == '-' && text.mid(at, 2) == "--") {
            for (const QByteArray &b : boundaries) {
                if (text.mid(at + 2, b.size()) == b)
                    return true;
            }
        }
        at = text.indexOf('\n', at);
        if (at < 0)
            break;
        ++at;
    }
    return false;
}

}  // namespace

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

// Writes a part tree. A multipart at depth d is delimited by boundaries[d]; no two of them
// begin alike, so no delimiter is the start of another's line.
struct Writer
{
    QList<QByteArray> boundaries;
    mutable bool clash = false;  // a line of some text begins like a delimiter

    QByteArray textBody(const MimePart &part, QByteArray *charset, QByteArray *encoding) const;
    // Appends the part's header block, the blank line and its body.
    void write(const MimePart &part, int depth, QByteArray &out) const;
};

QByteArray Writer::textBody(const MimePart &part, QByteArray *charset, QByteArray *encoding) const
{
    const QByteArray text = Mime::crlfLines(part.bodyText).toUtf8();
    bool shortLines = true;
    for (const QByteArray &line : text.split('\n'))
        shortLines = shortLines && line.size() <= 998;
    const bool ascii = isAscii(text);
    *charset = ascii ? "us-ascii" : "utf-8";
    QByteArray body = text;
    *encoding = "7bit";
    if (!ascii || !shortLines) {
        *encoding = "quoted-printable";
        body = Mime::quotedPrintable(text);
    }
    clash = clash || startsALine(body, boundaries);
    return body;
}

void Writer::write(const MimePart &part, int depth, QByteArray &out) const
{
    const bool multipart = !part.children.empty();
    // A multipart is always declared one, and nothing else ever is.
    QString type = multipart ? QStringLiteral("multipart") : typeToken(part.contentType, "");
    QString subtype = typeToken(part.contentSubtype, multipart ? "mixed" : "");
    if (!multipart && (type.isEmpty() || subtype.isEmpty() || type == QLatin1String("multipart"))) {
        type = QLatin1String(part.hasFile ? "application" : "text");
        subtype = QLatin1String(part.hasFile ? "octet-stream" : "plain");
    }
    QList<QByteArray> params;
    QByteArray text;
    QByteArray encoding;
    if (multipart) {
        // One plain quoted value: mail readers do not join a boundary from RFC 2231 pieces.
        params << "boundary=\"" + boundaries.at(depth) + "\"";
    } else if (part.hasFile) {
        for (const auto &[key, value] : splitParameters(part.contentParameters)) {
            if (key.compare(QLatin1String("charset"), Qt::CaseInsensitive) != 0)
                params << Mime::parameter(key.toLower(), value);
        }
        encoding = "base64";
    } else {
        QByteArray charset;
        text = textBody(part, &charset, &encoding);
        params << "charset=" + charset;
    }
    out.append("Content-Type: ").append(QString(type + QLatin1Char('/') + subtype).toLatin1());
    for (const QByteArray &p : params) {
        if (!p.isEmpty())
            out.append(";").append(CRLF).append(" ").append(p);
    }
    out.append(CRLF);
    if (!encoding.isEmpty())
        out.append("Content-Transfer-Encoding: ").append(encoding).append(CRLF);
    const QString disposition = singleLine(part.disposition).trimmed();
    if (!disposition.isEmpty() && depth > 0) {
        const QString kind = typeToken(disposition.section(QLatin1Char(';'), 0, 0), "attachment");
        out.append("Content-Disposition: ").append(kind.toLatin1());
        for (const auto &[key, value] : splitParameters(disposition.section(QLatin1Char(';'), 1))) {
            const QByteArray p = Mime::parameter(key.toLower(), value);
            if (!p.isEmpty())
                out.append(";").append(CRLF).append(" ").append(p);
        }
        out.append(CRLF);
    }
    out.append(CRLF);

    if (multipart) {
        const QByteArray &boundary = boundaries.at(depth);
        out.append("This is a multi-part message in MIME format.").append(CRLF);
        for (const auto &child : part.children) {
            out.append(CRLF).append("--").append(boundary).append(CRLF);
            write(*child, depth + 1, out);
        }
        out.append(CRLF).append("--").append(boundary).append("--").append(CRLF);
    } else if (part.hasFile) {
        Mime::appendBase64Lines(out, part.fileData);
    } else {
        out.append(text);
    }
}

// About the bytes the part takes written, so that the message is written into one buffer.
qsizetype writtenSize(const MimePart &part)
{
    qsizetype size = 1024 + part.fileData.size() / 57 * 78 + 80 + 3 * part.bodyText.size();
    for (const auto &child : part.children)
        size += writtenSize(*child);
    return size;
}

// How deep multiparts nest below the part: 0 for a part without children.
int multipartDepth(const MimePart &part)
{
    int deepest = 0;
    for (const auto &child : part.children)
        deepest = std::max(deepest, multipartDepth(*child));
    return part.children.empty() ? 0 : deepest + 1;
}

// The boundary of each depth: the given one at the top, then "=_1_" and so on before it.
// Empty when one of them would be too long, hold a character a boundary may not, or begin
// like another.
QList<QByteArray> boundariesFor(const QByteArray &base, int levels)
{
    QList<QByteArray> all;
    for (int d = 0; d < levels; ++d) {
        const QByteArray b = d == 0 ? base : "=_" + QByteArray::number(d) + "_" + base;
        if (!isBoundary(b))
            return {};
        for (const QByteArray &other : std::as_const(all)) {
            if (b.startsWith(other) || other.startsWith(b))
                return {};
        }
        all << b;
    }
    return all;
}

QByteArray randomBoundary()
{
    return QByteArray::number(QRandomGenerator::global()->generate()) + "_boundary";
}

}  // namespace

ComposedMessage MimeComposer::compose(const QString &fallbackDomain) const
{
    ComposedMessage result;
    // One reading of each field serves the envelope and the header.
    const AddressList lists[] = {ParseAddressList(singleLine(headers.from)), ParseAddressList(singleLine(headers.replyTo)),
                                 ParseAddressList(singleLine(headers.to)), ParseAddressList(singleLine(headers.cc))};
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

    QDateTime when = Mime::parseDateText(headers.dateText);
    if (!when.isValid())
        when = QDateTime::currentDateTime();
    QString domain = AddressDomain(singleLine(headers.from));
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

    // The given boundary, unless it is no valid one or a line of a text begins with it;
    // then random ones until none does.
    const int levels = multipartDepth(*m_root);
    Writer writer;
    writer.boundaries = boundariesFor(singleLine(headers.boundary).trimmed().toLatin1(), levels);
    const qsizetype headerSize = out.size();
    out.reserve(headerSize + writtenSize(*m_root));
    for (;;) {
        if (writer.boundaries.isEmpty() && levels > 0)
            writer.boundaries = boundariesFor(randomBoundary(), levels);
        writer.clash = false;
        writer.write(*m_root, 0, out);
        if (!writer.clash)
            break;
        writer.boundaries.clear();
        out.truncate(headerSize);
    }
    result.bytes = std::move(out);
    return result;
}
