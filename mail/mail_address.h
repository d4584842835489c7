#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// One address of a To, Cc, From or Reply-To text.
struct MailAddress
{
    QString display;  // the display name, if any
    QString address;  // as it is sent: a domain that is not ASCII in its ASCII (IDNA) form
    QString written;  // as the user wrote it

    // The part before the "@" is not ASCII: only a server that offers SMTPUTF8 takes it.
    bool needsSmtpUtf8() const;
};

// An address text read as a list of addresses.
struct AddressList
{
    QVector<MailAddress> addresses;
    // The first entry that is not an e-mail address, as it was written; empty when
    // every entry is one.
    QString notAnAddress;
    bool ok() const { return notAnAddress.isEmpty(); }
};

// Reads an address text as a list. Entries are separated by ",", ";", blanks, tabs
// and line breaks outside quotes and angle brackets. An entry is a bare address
// ("bob@example.org"), or a display name, quoted or not, followed by an address in
// angle brackets ("Bob Smith <bob@example.org>", "\"Smith, Bob\" <bob@example.org>").
// Any other word, such as "Bob" in "Bob bob@example.org", is not an address; nor is an
// address with blanks, control characters or no "@" between two parts. Control
// characters never reach an address or a display name.
AddressList ParseAddressList(const QString &text);

// The text of the message box for the first To or Cc entry that is not an e-mail
// address ("Not an e-mail address: Bob"); empty when both are lists of addresses.
QString RecipientError(const QString &to, const QString &cc);

// The addresses of a To or Cc text as the user wrote them, in order, each once (letter
// case aside): what the history records of a message sent to that text.
QStringList RecipientAddresses(const QString &text);

// The domain of the first address in the text, in its ASCII form, or an empty string.
QString AddressDomain(const QString &text);
