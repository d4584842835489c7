#include "mail/mail_address.h"

namespace {

QString withoutLineBreaks(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString unquoted(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) {
        name = name.mid(1, name.size() - 2);
        QString plain;
        for (int i = 0; i < name.size(); ++i) {
            if (name[i] == QLatin1Char('\\') && i + 1 < name.size())
                ++i;
            plain += name[i];
        }
        name = plain;
    }
    return name.trimmed();
}

MailAddress parseItem(const QString &item)
{
    MailAddress result;
    const int open = item.lastIndexOf(QLatin1Char('<'));
    const int close = item.indexOf(QLatin1Char('>'), open + 1);
    if (open >= 0 && close > open) {
        result.address = item.mid(open + 1, close - open - 1).trimmed();
        result.display = unquoted(item.left(open));
    } else {
        QString bare = item;
        bare.remove(QLatin1Char('<')).remove(QLatin1Char('>'));
        result.address = bare.trimmed();
    }
    // An address has no blanks; whatever follows one is not part of it.
    result.address = result.address.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    return result;
}

}  // namespace

QVector<MailAddress> ParseAddressList(const QString &text)
{
    const QString clean = withoutLineBreaks(text);
    QVector<MailAddress> list;
    QString item;
    bool quoted = false;
    int angle = 0;
    auto flush = [&] {
        if (!item.trimmed().isEmpty()) {
            MailAddress a = parseItem(item);
            if (!a.address.isEmpty())
                list.push_back(a);
        }
        item.clear();
    };
    for (int i = 0; i < clean.size(); ++i) {
        const QChar c = clean[i];
        if (quoted && c == QLatin1Char('\\') && i + 1 < clean.size()) {
            item += c;
            item += clean[++i];
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('<'))
            ++angle;
        else if (!quoted && c == QLatin1Char('>') && angle > 0)
            --angle;
        if (!quoted && angle == 0 && (c == QLatin1Char(',') || c == QLatin1Char(';'))) {
            flush();
            continue;
        }
        item += c;
    }
    flush();
    return list;
}

QString AddressDomain(const QString &text)
{
    const QVector<MailAddress> list = ParseAddressList(text);
    if (list.isEmpty())
        return {};
    const QString &address = list.first().address;
    const int at = address.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? QString() : address.mid(at + 1);
}
