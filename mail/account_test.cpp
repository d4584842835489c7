#include "mail/account_test.h"

#include "mail/cmail.h"
#include "mail/error_text.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace {

// Keeps the dialog open and its buttons off while the test runs.
class DialogHold : public QObject
{
public:
    explicit DialogHold(QWidget *dialog) : m_dialog(dialog)
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (!dialog)
            return;
        dialog->installEventFilter(this);
        for (int id : {Ids::ResultOk, Ids::ResultCancel}) {
            for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>(QString::number(id))) {
                if (b->isEnabled()) {
                    b->setEnabled(false);
                    m_disabled << b;
                }
            }
        }
    }
    ~DialogHold() override
    {
        for (const QPointer<QAbstractButton> &b : m_disabled) {
            if (b)
                b->setEnabled(true);
        }
        if (m_dialog)
            m_dialog->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_dialog && event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (watched == m_dialog && event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            return true;
        return false;
    }

private:
    QPointer<QWidget> m_dialog;
    QList<QPointer<QAbstractButton>> m_disabled;
};

}  // namespace

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
        DialogHold hold(dialog);
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
