#include "mail/account_test.h"

#include "mail/cmail.h"
#include "mail/error_text.h"
#include "mail/mail_errors.h"
#include "shell/prompter.h"

#include <QApplication>
#include <QWidget>

QString AccountTestMessage(int code, const QString &description)
{
    if (code == MailCode::ConnectedInfo)
        return QStringLiteral("Code 20000: Connection succedeed!\t");
    if (code == MailCode::ConnectedInfoAlt)
        return QStringLiteral("Code 20001: Connection succedeed!\t");
    return QString::asprintf("Error %d: ", code) + AccountTestErrorText(code, description) + QLatin1Char('\t');
}

int RunAccountTest(const Account &account, Prompter &prompter, QWidget *dialog,
                   std::shared_ptr<const HostResolver> resolver, const QString &bearerToken)
{
    int code = 0;
    QString description;
    {
        CMail mail;
        if (resolver)
            mail.setResolver(std::move(resolver));
        mail.SetHostName(account.incoming);
        mail.SetUserName(account.user);
        mail.SetPassword(bearerToken.isEmpty() ? account.password : QString());
        mail.SetBearerToken(bearerToken);
        mail.SetProtocol(MailProtocolCode::Pop3);
        mail.SetBlocking(true);
        mail.Connect();
        code = mail.GetResultCode();
        if (code == 0) {
            mail.Disconnect();
            const bool esmtp = account.protocol == MailProtocol::Esmtp;
            mail.SetProtocol(esmtp ? MailProtocolCode::Esmtp : MailProtocolCode::Smtp);
            mail.SetAuthenticate(esmtp ? 1 : 0);
            if (!account.outgoingLogsIn())
                mail.SetPassword(QString());
            // The outgoing stage addresses the outgoing server.
            mail.SetHostName(account.outgoing);
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
