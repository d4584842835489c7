#include "mail/secret_mask.h"

#include <vector>

namespace {

bool isBase64Char(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '+' || u == '/'
           || u == '=';
}

// The base64 characters that depend on the secret alone when `lead` other bytes come first.
QString base64Core(const QByteArray &secret, int lead)
{
    const QByteArray encoded = (QByteArray(lead, '\0') + secret).toBase64(QByteArray::OmitTrailingEquals);
    const qsizetype first = (8 * lead + 5) / 6;
    const qsizetype end = 8 * (lead + secret.size()) / 6;
    return QString::fromLatin1(encoded.mid(first, end - first));
}

}  // namespace

SecretMask::SecretMask(const QStringList &secrets)
{
    for (const QString &secret : secrets) {
        const QByteArray utf8 = secret.toUtf8();
        if (utf8.size() < MinBytes)
            continue;
        m_plain << secret;
        for (int lead = 0; lead < 3; ++lead)
            m_encoded << base64Core(utf8, lead);
    }
    // A mask character that is in no secret and no base64 text cannot help form either.
    for (const QChar c : QStringLiteral("*#~^%&!?@$<>|()[]{}")) {
        bool used = false;
        for (const QString &secret : std::as_const(m_plain))
            used = used || secret.contains(c);
        if (!used) {
            m_maskChar = c;
            return;
        }
    }
    m_maskChar = QChar(0x2022);  // a bullet, when every one of those is in a secret
    for (const QString &secret : std::as_const(m_plain)) {
        while (secret.contains(m_maskChar))
            m_maskChar = QChar(m_maskChar.unicode() + 1);
    }
}

QString SecretMask::apply(const QString &line) const
{
    if (m_plain.isEmpty())
        return line;
    std::vector<bool> hidden(size_t(line.size()), false);
    bool any = false;
    auto hide = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            hidden[size_t(i)] = true;
        any = true;
    };
    for (const QString &plain : m_plain) {
        for (qsizetype at = line.indexOf(plain); at >= 0; at = line.indexOf(plain, at + 1))
            hide(at, at + plain.size());
    }
    for (const QString &core : m_encoded) {
        for (qsizetype at = line.indexOf(core); at >= 0; at = line.indexOf(core, at + 1)) {
            qsizetype from = at, to = at + core.size();
            while (from > 0 && isBase64Char(line[from - 1]))
                --from;
            while (to < line.size() && isBase64Char(line[to]))
                ++to;
            hide(from, to);
        }
    }
    if (!any)
        return line;
    QString shown;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!hidden[size_t(i)])
            shown += line[i];
        else if (i == 0 || !hidden[size_t(i - 1)])
            shown += QString(4, m_maskChar);
    }
    return shown;
}
