#pragma once

#include "mail/mail_address.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>
#include <vector>

// One body part of a message as the mail control's properties describe it. A part
// holds either text, the bytes of an attached file, or child parts (multipart).
struct MimePart
{
    QString contentType;
    QString contentSubtype;
    QString contentParameters;
    QString transferEncoding;
    QString disposition;
    QString bodyText;
    bool hasBody = false;
    QByteArray fileData;
    bool hasFile = false;
    std::vector<std::unique_ptr<MimePart>> children;
    MimePart *parent = nullptr;
};

// The header fields of the message, as given to the control.
struct MessageHeaders
{
    QString from;
    QString replyTo;
    QString to;
    QString cc;
    QString subject;
    QString dateText;  // the local time as the form shows it
    QString messageTag;
    QString boundary;  // of the top multipart; a random one replaces it when it cannot serve
};

// The result of writing a message: the bytes on the wire and the envelope.
struct ComposedMessage
{
    QByteArray bytes;
    QString envelopeFrom;
    QStringList recipients;
    QString error;  // empty when the message could be written
};

// Encoders of the standard message format, each producing CRLF line ends.
namespace Mime {
// True when every character is ASCII other than NUL.
bool isAscii(const QByteArray &bytes);
bool isAscii(const QString &text);
// A header text on one line: control characters (CR, LF, NUL, tabs, ...) become blanks.
QString singleLine(QString text);
// True for a non-empty MIME token: ASCII without blanks, controls or specials.
bool isToken(const QString &text);
// Base64 in lines of 76 characters, each ended by CRLF.
QByteArray base64Lines(const QByteArray &data);
// The same, appended to `out` without a buffer of its own.
void appendBase64Lines(QByteArray &out, const QByteArray &data);
// Quoted-printable of bytes whose lines end in CRLF; lines stay within 76 characters.
QByteArray quotedPrintable(const QByteArray &data);
// Every line end of the text made CRLF.
QString crlfLines(const QString &text);
// A header field with an unstructured value (Subject): folded, and encoded as RFC 2047
// words when it is not plain ASCII.
QByteArray unstructuredField(const char *name, const QString &value);
// A header field listing addresses; display names that are not ASCII are RFC 2047 words.
QByteArray addressField(const char *name, const QVector<MailAddress> &list);
// One MIME parameter: name="value", or RFC 2231 (name*=utf-8''...) when not ASCII or
// long. Empty when the name is not a token that can be written so.
QByteArray parameter(const QString &name, const QString &value);
// The RFC 5322 form of a local time: "Sat, 06 Dec 2025 19:39:00 +0100".
QByteArray rfc5322Date(const QDateTime &local);
// Reads the date text of the form ("Saturday, December 06, 2025 07:39 PM"); invalid when it
// is in another form.
QDateTime parseDateText(const QString &text);
}  // namespace Mime

// The message tree built by the control's actions, and its writer.
class MimeComposer
{
public:
    MimeComposer();

    // Action 11: a new, empty message; every header and part is forgotten.
    void begin();
    // Action 4: a new child part of the current part. Action 7: the part opened by 4 takes
    // the part properties from now on. Action 2: back to the enclosing part.
    // Each returns false when the order is broken.
    bool openPart();
    bool activatePart();
    bool closePart();
    // Action 9: the file's bytes become the current part's content; false with the
    // cause in errorText() when it cannot be read whole.
    bool attachFile(const QString &path);

    MimePart &current() { return *m_current; }
    MessageHeaders headers;
    const QString &errorText() const { return m_error; }

    // Writes the whole message. `fallbackDomain` names the Message-ID's domain when the
    // sender has none.
    ComposedMessage compose(const QString &fallbackDomain) const;

private:
    std::unique_ptr<MimePart> m_root;
    MimePart *m_current = nullptr;
    MimePart *m_opened = nullptr;
    QString m_error;
};
