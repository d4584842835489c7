#include "mail/account_test.h"

#include "mail/cmail.h"
#include "mail/error_text.h"
#include "shell/prompter.h"

#include <QApplication>
#include <QWidget>


QString AccountTestMessage(int code, const QString &description)
{
    if (code == 20000)
        return QStringLiteral("Code 20000: Connection succedeed!\t");
    if (code == 20001)
        return QStringLiteral("Code 20001: Connection succedeed!\t");
    return QString::asprintf("Error %d: ", code) + AccountTestErrorText(code, description) + QLatin1Char('\t');
}

int RunAccountTest(const AccountTestValues &values, Prompter &prompter, QWidget *dialog,
                   std::shared_ptr<const HostResolver> resolver)
{
    int code = 0;
    QString description;
    {
        CMail mail;
        if (resolver)
            mail.setResolver(std::move(resolver));
        mail.SetHostName(values.incoming);
        mail.SetUserName(values.user);
        mail.SetPassword(values.password);
        mail.SetProtocol(1);
        mail.SetBlocking(true);
        mail.Connect();
        code = mail.GetResultCode();
        if (code == 0) {
            mail.Disconnect();
            if (values.protocolIndex == 1) {
                mail.SetProtocol(2);
                mail.SetAuthenticate(1);
            } else {
                mail.SetProtocol(0);
            }
            if (!values.requiresPassword && values.protocolIndex == 0)
                mail.SetPassword(QString());
            // The outgoing stage addresses the outgoing server.
            mail.SetHostName(values.outgoing);
            mail.Connect();
            code = mail.GetResultCode();
            if (code == 0)
                mail.Disconnect();
        }
        description = mail.GetErrorText();
    }
    if (code != 0) {
        QApplication::beep();
        prompter.message(dialog, AccountTestMessage(code, description));
        return code;
    }
    prompter.message(dialog, QStringLiteral("Connection succeeded!\t"));
    return 0;
}
