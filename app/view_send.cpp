// The Send command: checks, connection, compression, and the message built inside the
// mail control; and the test e-mail.

#include "app/talkpost_view.h"

#include "app/module_state.h"
#include "mail/mail_dialogs.h"
#include "resources/product.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

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

// WAV goes as audio/basic, and an unknown extension as binary/application.
const MediaType MediaTypes[] = {
    {"WAV", "audio", "basic"}, {"WAVE", "audio", "basic"}, {"JPG", "image", "jpeg"},
    {"JPEG", "image", "jpeg"}, {"GIF", "image", "gif"},    {"TIF", "image", "tiff"},
    {"TIFF", "image", "tiff"}, {"HTML", "text", "html"},   {"HTM", "text", "html"},
    {"TXT", "text", "plain"},
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

// The host part of an address made from the outgoing server: its name without a port.
QString addressHost(const QString &host)
{
    const QString h = host.trimmed();
    if (h.startsWith(QLatin1Char('[')))
        return h.section(QLatin1Char(']'), 0, 0).mid(1);
    return h.count(QLatin1Char(':')) == 1 ? h.section(QLatin1Char(':'), 0, 0) : h;
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

}  // namespace

void CTalkpostView::OnSend()
{
    if (IsMessageLocked()) {
        AppendLog(QStringLiteral("Please wait: the message is being compressed or sent."));
        return;
    }
    if (m_recording || m_playing) {
        AppendLog(QStringLiteral("Please stop the recording or playback before sending."));
        return;
    }
    if (m_connected && m_connectPending) {
        AppendLog(QStringLiteral("Please wait: the connection is being closed."));
        return;
    }
    UpdateData(true);
    if (m_recipient.isEmpty()) {
        m_prompter->message(this, QStringLiteral("Invalid recipient!"));
        return;
    }
    if (m_account.password.isEmpty()) {
        PasswordDialog dialog(this);
        if (m_prompter->exec(dialog) == QDialog::Accepted)
            m_account.password = dialog.password();
        if (m_account.password.isEmpty())
            return;
    }
    if (!m_connected) {
        if (m_sendAfterConnect) {
            AppendLog(QStringLiteral("Cannot connect to the mail server!"));
            return;
        }
        m_sendAfterConnect = 1;
        OnConnect();
        return;
    }
    if (!m_recordingFile.isEmpty()) {
        OnAttach();
        refreshMessageLock();
        return;
    }
    composeAndSend();
}

void CTalkpostView::composeHeaders(const QString &from, const QString &to, const QString &cc, const QString &subject)
{
    const QDateTime now = QDateTime::currentDateTime();
    m_mail.SetDate(dateText(now));
    m_mail.SetMessageId(messageTag(now));
    m_mail.SetFrom(from);
    m_mail.SetTo(to);
    m_mail.SetCc(cc);
    m_mail.SetSubject(subject);
}

void CTalkpostView::composeAndSend()
{
    UpdateData(true);
    m_sendStartTime = QDateTime::currentSecsSinceEpoch();
    if (m_account.reply.isEmpty())
        m_account.reply = m_account.user + QLatin1Char('@') + addressHost(m_account.outgoing);
    const QString bracketed = QStringLiteral("<%1>").arg(m_account.reply);
    m_mail.SetBlocking(true);
    m_mail.SetReplyTo(m_account.reply);
    m_mail.SetAction(11);
    const QString subject = m_phone.isEmpty() ? m_subject : m_subject + QStringLiteral(". Phone: ") + m_phone;
    composeHeaders(bracketed, m_recipient, m_cc, subject);
    m_mail.SetReplyTo(bracketed);
    AppendLog(QStringLiteral("From: ") + bracketed);
    AppendLog(QStringLiteral("To:    ") + m_recipient);
    const bool multipart = !m_attachments.isEmpty();
    if (multipart && !composeAttachments())
        return;
    m_mail.SetContentType(QStringLiteral("text"));
    m_mail.SetContentSubtype(QStringLiteral("plain"));
    m_mail.SetContentParameters(QStringLiteral("charset=us-ascii"));
    m_mail.SetContentTransferEncoding(QStringLiteral("7bit"));
    m_mail.SetBodyText(0, m_body + footer());
    if (multipart) {
        m_mail.SetAction(2);
        if (m_mail.GetResultCode() != 0) {
            abandonComposition(m_mail.GetErrorText());
            return;
        }
    }
    if (m_mail.isBusy()) {
        abandonComposition(QStringLiteral("the mail connection is busy"));
        return;
    }
    m_mail.SetFlags(72);
    m_mail.SetBlocking(false);
    m_mail.SetAction(15);
    m_handedOver = HandedOver::Message;
    KillTimer(Ids::TimerProgressDisplay);
    SetTimer(Ids::TimerProgressDisplay, 100);
    SetPaneText(QStringLiteral("Sending"));
    if (!g_compressingAnimation)
        g_paneAnimationReset = 1;
    g_compressingAnimation = 0;
    refreshMessageLock();
}

// The attachment parts, in list order; false when the message had to be abandoned.
bool CTalkpostView::composeAttachments()
{
    std::srand(unsigned(std::time(nullptr)));
    const QString boundary = QString::asprintf("%d_boundary", std::rand());
    m_mail.SetContentType(QStringLiteral("multipart"));
    m_mail.SetContentSubtype(QStringLiteral("mixed"));
    m_mail.SetContentParameters(QStringLiteral("boundary=") + boundary);
    m_mail.SetBoundary(boundary);
    // The whole list, however long, split at "," and ";" with empty tokens skipped.
    const QStringList tokens = m_attachments.split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        if (!QFileInfo::exists(token)) {
            AppendLog(token + QStringLiteral(" not found."));
            continue;
        }
        AppendLog(QStringLiteral("Attaching ") + token);
        const MediaType media = mediaTypeOf(token);
        const QString name = QFileInfo(token).fileName();
        m_mail.SetAction(4);
        bool ok = m_mail.GetResultCode() == 0;
        if (ok) {
            m_mail.SetAction(7);
            ok = m_mail.GetResultCode() == 0;
        }
        if (ok) {
            m_mail.SetContentType(QString::fromLatin1(media.type));
            m_mail.SetContentSubtype(QString::fromLatin1(media.subtype));
            m_mail.SetContentParameters(QStringLiteral("name=\"%1\"").arg(name));
            m_mail.SetContentTransferEncoding(QStringLiteral("base64"));
            m_mail.SetContentDisposition(QStringLiteral("attachment; filename=\"%1\"").arg(name));
            m_mail.SetFlags(130);
            m_mail.SetAttachmentPath(token);
            m_mail.SetAction(9);
            ok = m_mail.GetResultCode() == 0;
        }
        if (ok) {
            m_mail.SetAction(2);
            ok = m_mail.GetResultCode() == 0;
        }
        if (!ok) {
            abandonComposition(m_mail.GetErrorText());
            return false;
        }
    }
    m_mail.SetAction(4);
    m_mail.SetAction(7);
    return true;
}

// The message cannot be written: nothing is sent, the connection is closed, and the
// message and its recording stay for another try.
void CTalkpostView::abandonComposition(const QString &cause)
{
    AppendLog(QStringLiteral("The message was not sent: ") + cause);
    restoreRecordingForRetry();
    endSendingDisplay();
    m_sendAfterConnect = 0;
    OnDisconnect();
    refreshMessageLock();
}

void CTalkpostView::OnTestMail()
{
    if (IsMessageLocked()) {
        AppendLog(QStringLiteral("Please wait: the message is being compressed or sent."));
        return;
    }
    if (!m_connected) {
        AppendLog(QStringLiteral("Cannot send test email: no connection!"));
        return;
    }
    const QString sender = m_account.user + QLatin1Char('@') + addressHost(m_account.outgoing);
    TestEmailDialog dialog(sender, this);
    if (m_prompter->exec(dialog) != QDialog::Accepted) {
        AppendLog(QStringLiteral("Test aborted."));
        return;
    }
    const QString address = dialog.address();
    AppendLog(QStringLiteral("Sending test email..."));
    m_sendStartTime = QDateTime::currentSecsSinceEpoch();
    const QString bracketed = QStringLiteral("<%1>").arg(sender);
    m_mail.SetBlocking(true);
    m_mail.SetAction(11);
    composeHeaders(bracketed, address, QString(), QStringLiteral("test"));
    AppendLog(QStringLiteral("From:  ") + bracketed);
    AppendLog(QStringLiteral("To:    ") + address);
    m_mail.SetContentType(QStringLiteral("text"));
    m_mail.SetContentSubtype(QStringLiteral("plain"));
    m_mail.SetContentParameters(QStringLiteral("charset=us-ascii"));
    m_mail.SetContentTransferEncoding(QStringLiteral("7bit"));
    m_mail.SetBodyText(0, QStringLiteral("test message"));
    m_mail.SetFlags(72);
    m_mail.SetBlocking(false);
    m_mail.SetAction(15);
    m_handedOver = HandedOver::TestMail;
    refreshMessageLock();
}
