#include "mail/error_text.h"

#include "mail/mail_errors.h"

namespace {

struct Entry
{
    int code;
    const char *text;
};

const Entry Table[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address "},
    {10022, "Invalid argument "},
    {10024, "Too many open files "},
    {10035, "Operation would block "},
    {10036, "Operation now in progress "},
    {10037, "Operation already in progress "},
    {10038, "Socket operation on non-socket "},
    {10039, "Destination address required "},
    {10040, "Message too long "},
    {10041, "Protocol wrong type for socket "},
    {10042, "Bad protocol option "},
    {10043, "Protocol not supported "},
    {10044, "Socket type not supported "},
    {10045, "Operation not supported on socket "},
    {10046, "Protocol family not supported "},
    {10047, "Address family not supported by protocol family "},
    {10048, "Address already in use "},
    {10049, "Can't assign requested address "},
    {10050, "Network is down "},
    {10051, "Network is unreachable "},
    {10052, "Net dropped connection or reset "},
    {10053, "The connection was forcibly closed by the remote host."},
    {10054, "Connection reset by peer "},
    {11001, "Host not found "},
};

QString tableText(int code)
{
    for (const Entry &e : Table) {
        if (e.code == code)
            return QString::fromLatin1(e.text);
    }
    return QStringLiteral("Unknown Error");
}

}  // namespace

QString MailErrorText(int code, const QString &description)
{
    if (!description.contains(QLatin1String("Unknown error")))
        return description;
    return tableText(code);
}

QString AccountTestErrorText(int code, const QString &description)
{
    if (code == MailCode::LoginRefused)
        return QStringLiteral("Invalid password");
    if (description.isEmpty())
        return tableText(code);
    return MailErrorText(code, description);
}
