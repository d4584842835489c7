#include "mail/mail_address.h"

#include <QSet>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace {

const QString NotAnAddress = QStringLiteral("Not an e-mail address: ");

bool isAscii(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Blanks, tabs, line breaks and every other control character part words.
bool isBlank(QChar c)
{
    return c.isSpace() || c.category() == QChar::Other_Control;
}

// One word of the text: what it says (quotes taken off) and how it was written.
struct Word
{
    QString text;
    QString written;
    bool quoted = false;
    bool isAddress() const { return !quoted && text.contains(QLatin1Char('@')); }
};

class Parser
{
public:
    AddressList run(const QString &text);

private:
    void readQuoted(const QString &text, int &i);
    void readBracketed(const QString &text, int &i);
    void endWord();
    void flushWords(int count);
    void add(const QString &address, const QString &display, const QString &entry);
    void refuse(const QString &entry);

    AddressList m_list;
    QVector<Word> m_words;  // words not yet placed, possibly a display name
    Word m_word;
};

AddressList Parser::run(const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            endWord();
            flushWords(int(m_words.size()));
        } else if (isBlank(c)) {
            endWord();
        } else if (c == QLatin1Char('"')) {
            readQuoted(text, i);
        } else if (c == QLatin1Char('<')) {
            endWord();
            readBracketed(text, i);
        } else {
            m_word.text += c;
            m_word.written += c;
        }
    }
    endWord();
    flushWords(int(m_words.size()));
    return m_list;
}

void Parser::readQuoted(const QString &text, int &i)
{
    m_word.quoted = true;
    m_word.written += QLatin1Char('"');
    for (++i; i < text.size() && text[i] != QLatin1Char('"'); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size())
            m_word.written += text[i++];
        m_word.text += isBlank(text[i]) ? QChar(QLatin1Char(' ')) : text[i];
        m_word.written += text[i];
    }
    m_word.written += QLatin1Char('"');
}

// "<address>": the words before it, after the last one that is an address itself,
// are its display name.
void Parser::readBracketed(const QString &text, int &i)
{
    const int close = int(text.indexOf(QLatin1Char('>'), i + 1));
    const QString inside = text.mid(i + 1, close < 0 ? -1 : close - i - 1);
    i = close < 0 ? int(text.size()) : close;
    int name = int(m_words.size());
    while (name > 0 && !m_words[name - 1].isAddress())
        --name;
    flushWords(name);
    QStringList display, written;
    for (const Word &w : std::as_const(m_words)) {
        display << w.text;
        written << w.written;
    }
    m_words.clear();
    written << QLatin1Char('<') + inside + (close < 0 ? QString() : QStringLiteral(">"));
    if (close < 0)
        refuse(written.join(QLatin1Char(' ')));
    else
        add(inside.trimmed(), display.join(QLatin1Char(' ')).simplified(), written.join(QLatin1Char(' ')));
}

void Parser::endWord()
{
    if (!m_word.written.isEmpty())
        m_words.push_back(m_word);
    m_word = Word();
}

// The first `count` words stand alone: each must be an address.
void Parser::flushWords(int count)
{
    for (int w = 0; w < count; ++w)
        add(m_words[w].text, QString(), m_words[w].written);
    m_words.remove(0, count);
}

// `entry` is the whole entry as written, which a refusal names.
void Parser::add(const QString &address, const QString &display, const QString &entry)
{
    const int at = int(address.indexOf(QLatin1Char('@')));
    const bool plain = std::none_of(address.begin(), address.end(), [](QChar c) {
        return isBlank(c) || QStringLiteral("<>\",;\\").contains(c);
    });
    if (!plain || at <= 0 || at != address.lastIndexOf(QLatin1Char('@')) || at == address.size() - 1) {
        refuse(entry);
        return;
    }
    const QString domain = address.mid(at + 1);
    const QString asciiDomain = isAscii(domain) ? domain : QString::fromLatin1(QUrl::toAce(domain));
    if (asciiDomain.isEmpty()) {
        refuse(entry);
        return;
    }
    m_list.addresses.push_back({display, address.left(at + 1) + asciiDomain, address});
}

void Parser::refuse(const QString &entry)
{
    if (m_list.notAnAddress.isEmpty())
        m_list.notAnAddress = entry;
}

}  // namespace

bool MailAddress::needsSmtpUtf8() const
{
    return !isAscii(address);
}

AddressList ParseAddressList(const QString &text)
{
    return Parser().run(text);
}

QString RecipientError(const QString &to, const QString &cc)
{
    for (const QString &text : {to, cc}) {
        const AddressList list = ParseAddressList(text);
        if (!list.ok())
            return NotAnAddress + list.notAnAddress;
    }
    return QString();
}

QStringList RecipientAddresses(const QString &text)
{
    QStringList addresses;
    QSet<QString> seen;
    for (const MailAddress &a : ParseAddressList(text).addresses) {
        if (!seen.contains(a.written.toLower())) {
            seen.insert(a.written.toLower());
            addresses << a.written;
        }
    }
    return addresses;
}

QString AddressDomain(const QString &text)
{
    const AddressList list = ParseAddressList(text);
    if (list.addresses.isEmpty())
        return {};
    const QString &address = list.addresses.first().address;
    return address.mid(address.indexOf(QLatin1Char('@')) + 1);
}
