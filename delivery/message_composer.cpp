#include "delivery/message_composer.h"

#include "mail/cmail.h"
#include "resources/product.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <cstdlib>
#include <ctime>

namespace {

// Counts the messages of the run: the tag's seventh number, so that two messages of
// the same second get different tags.
int g_messageCounter = 0;

QString dateText(const QDateTime &now)
{
    return QLocale::c().toString(now, QStringLiteral("dddd, MMMM dd, yyyy hh:mm AP"));
}

QString messageTag(const QDateTime &now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf("%d%d%d%d%d%d%dTAVEMAIL", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second(), ++g_messageCounter);
}

struct MediaType
{
    const char *extension;
    const char *type;
    const char *subtype;
};

// WAV goes as audio/basic, MP3 as audio/mpeg, and an unknown extension as
// binary/application.
const MediaType MediaTypes[] = {
    {"WAV", "audio", "basic"}, {"WAVE", "audio", "basic"}, {"JPG", "image", "jpeg"},
    {"JPEG", "image", "jpeg"}, {"GIF", "image", "gif"},    {"TIF", "image", "tiff"},
    {"TIFF", "image", "tiff"}, {"HTML", "text", "html"},   {"HTM", "text", "html"},
    {"TXT", "text", "plain"},      {"MP3", "audio", "mpeg"},
};

MediaType mediaTypeOf(const QString &path)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const QString extension = (dot < 0 ? path : path.mid(dot + 1)).toUpper();
    for (const MediaType &m : MediaTypes) {
        if (extension == QLatin1String(m.extension))
            return m;
    }
    return {"", "binary", "application"};
}

QString footer()
{
    return QStringLiteral("\n\n\n\n\n\n") + QString(110, QLatin1Char('-')) + QLatin1Char('\n')
           + QStringLiteral("Voice messages and voice processing solutions for your business: visit ")
           + QString::fromLatin1(Product::WebHost) + QLatin1Char('\n')
           + QStringLiteral("The Orvanto team\n")
           + QStringLiteral("1 Example Street, Exampletown\n")
           + QStringLiteral("Telephone +1 555 0100, fax +1 555 0101\n")
           + QStringLiteral("E-mail ") + QString::fromLatin1(Product::SupportAddress) + QLatin1Char('\n');
}

void composeHeaders(CMail &mail, const QString &from, const QString &to, const QString &cc, const QString &subject)
{
    const QDateTime now = QDateTime::currentDateTime();
    mail.SetDate(dateText(now));
    mail.SetMessageId(messageTag(now));
    mail.SetFrom(from);
    mail.SetTo(to);
    mail.SetCc(cc);
    mail.SetSubject(subject);
}

void composeText(CMail &mail, const QString &text)
{
    mail.SetContentType(QStringLiteral("text"));
    mail.SetContentSubtype(QStringLiteral("plain"));
    mail.SetContentParameters(QStringLiteral("charset=us-ascii"));
    mail.SetContentTransferEncoding(QStringLiteral("7bit"));
    mail.SetBodyText(0, text);
}

// Each action of a part is checked; false at the first that fails.
bool attachFile(CMail &mail, const QString &path)
{
    const MediaType media = mediaTypeOf(path);
    const QString name = QFileInfo(path).fileName();
    mail.SetAction(MailAction::OpenPart);
    if (mail.GetResultCode() != 0)
        return false;
    mail.SetAction(MailAction::ActivatePart);
    if (mail.GetResultCode() != 0)
        return false;
    mail.SetContentType(QString::fromLatin1(media.type));
    mail.SetContentSubtype(QString::fromLatin1(media.subtype));
    mail.SetContentParameters(QStringLiteral("name=\"%1\"").arg(name));
    mail.SetContentTransferEncoding(QStringLiteral("base64"));
    mail.SetContentDisposition(QStringLiteral("attachment; filename=\"%1\"").arg(name));
    mail.SetFlags(MailFlags::AttachmentPart);
    mail.SetAttachmentPath(path);
    mail.SetAction(MailAction::AttachFile);
    if (mail.GetResultCode() != 0)
        return false;
    mail.SetAction(MailAction::ClosePart);
    return mail.GetResultCode() == 0;
}

// The attachment parts, in list order; false when the message had to be abandoned.
bool composeAttachments(CMail &mail, const QString &attachments, const MessageComposer::Log &log)
{
    std::srand(unsigned(std::time(nullptr)));
    const QString boundary = QString::asprintf("%d_boundary", std::rand());
    mail.SetContentType(QStringLiteral("multipart"));
    mail.SetContentSubtype(QStringLiteral("mixed"));
    mail.SetContentParameters(QStringLiteral("boundary=") + boundary);
    mail.SetBoundary(boundary);
    // The whole list, however long, split at "," and ";" with empty tokens skipped.
    const QStringList tokens = attachments.split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        if (!QFileInfo::exists(token)) {
            log(token + QStringLiteral(" not found."));
            continue;
        }
        log(QStringLiteral("Attaching ") + token);
        if (!attachFile(mail, token))
            return false;
    }
    mail.SetAction(MailAction::OpenPart);
    mail.SetAction(MailAction::ActivatePart);
    return true;
}

}  // namespace

namespace MessageComposer {

QString composeMessage(CMail &mail, const OutgoingMessage &message, const Log &log)
{
    const QString bracketed = QStringLiteral("<%1>").arg(message.sender);
    mail.SetBlocking(true);
    mail.SetReplyTo(message.sender);
    mail.SetAction(MailAction::BeginMessage);
    composeHeaders(mail, bracketed, message.to, message.cc, message.subject);
    mail.SetReplyTo(bracketed);
    log(QStringLiteral("From: ") + bracketed);
    log(QStringLiteral("To:    ") + message.to);
    const bool multipart = !message.attachments.isEmpty();
    if (multipart && !composeAttachments(mail, message.attachments, log))
        return mail.GetErrorText();
    composeText(mail, message.body + footer());
    if (multipart) {
        mail.SetAction(MailAction::ClosePart);
        if (mail.GetResultCode() != 0)
            return mail.GetErrorText();
    }
    return QString();
}

void composeTestMessage(CMail &mail, const QString &sender, const QString &address, const Log &log)
{
    const QString bracketed = QStringLiteral("<%1>").arg(sender);
    mail.SetBlocking(true);
    mail.SetAction(MailAction::BeginMessage);
    composeHeaders(mail, bracketed, address, QString(), QStringLiteral("test"));
    log(QStringLiteral("From:  ") + bracketed);
    log(QStringLiteral("To:    ") + address);
    composeText(mail, QStringLiteral("test message"));
}

QString senderAddress(const QString &user, const QString &outgoingHost)
{
    QString host = outgoingHost.trimmed();
    if (host.startsWith(QLatin1Char('[')))
        host = host.section(QLatin1Char(']'), 0, 0).mid(1);
    else if (host.count(QLatin1Char(':')) == 1)
        host = host.section(QLatin1Char(':'), 0, 0);
    return user + QLatin1Char('@') + host;
}

}  // namespace MessageComposer
