#pragma once

#include <QString>
#include <QVector>

// One address of a To, Cc, From or Reply-To text: the address proper and the
// display name written before it, if any.
struct MailAddress
{
    QString display;
    QString address;
};

// Splits an address text at "," and ";" outside quotes and angle brackets. Each item is
// either "Name <addr>" (quotes around the name understood) or a bare address; empty
// items are dropped. CR and LF count as blanks, so no item can carry a line break.
QVector<MailAddress> ParseAddressList(const QString &text);

// The domain of the first address in the text, or an empty string.
QString AddressDomain(const QString &text);
