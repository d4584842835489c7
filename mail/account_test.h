#pragma once

#include "mail/host_resolver.h"
#include "settings/account.h"

#include <QString>
#include <memory>

class Prompter;
class QWidget;


// The account test of the settings dialog's Test button on the account its fields
// show: logs in to the incoming server, then connects to the outgoing one, on a mail control of its own (so the
// form's connection and message stay untouched), and tells the result in a box
// through the prompter: "Connection succeeded!\t", or a beep and "Error %d: %s\t"
// (or one of the two texts of the codes 20000 and 20001).
//
// While it waits, the windows keep painting; the boxes have `dialog` as their parent.
// Returns the failing result code, or 0 after success.
// An account that signs in with the browser logs in with `bearerToken` instead.
int RunAccountTest(const Account &account, Prompter &prompter, QWidget *dialog,
                   std::shared_ptr<const HostResolver> resolver = nullptr, const QString &bearerToken = QString());

// The box text of the account test for a result code and the control's description.
QString AccountTestMessage(int code, const QString &description);
