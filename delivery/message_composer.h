#pragma once

#include <QString>
#include <functional>

class CMail;

// A message as the form hands it over: the fields as typed, the body with CR LF line
// ends, the attachment field as a list of paths separated by "," or ";".
struct OutgoingMessage
{
    QString sender;  // the sender's address, without brackets
    QString to;
    QString cc;
    QString subject;
    QString body;
    QString attachments;
};

// Builds messages inside the mail control, property by property, in the order the
// control expects. Each given progress line ("From: ", "Attaching ", ...) goes to log.
namespace MessageComposer {

using Log = std::function<void(const QString &line)>;

// The voice message: the attachments in list order (a file that does not exist is
// logged and left out), then the text with the footer. Returns empty when the
// message is ready to be sent, or the cause when it had to be abandoned.
QString composeMessage(CMail &mail, const OutgoingMessage &message, const Log &log);

// The short fixed test message from `sender` to `address`.
void composeTestMessage(CMail &mail, const QString &sender, const QString &address, const Log &log);

// The address made from a user name and the outgoing server's name without its port.
QString senderAddress(const QString &user, const QString &outgoingHost);

}  // namespace MessageComposer
