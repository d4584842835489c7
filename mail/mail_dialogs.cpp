#include "mail/mail_dialogs.h"

#include "resources/resource_ids.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QDialogButtonBox *buttons(QDialog *dialog, QDialogButtonBox::StandardButtons which)
{
    auto *box = new QDialogButtonBox(which, dialog);
    if (QPushButton *ok = box->button(QDialogButtonBox::Ok))
        ok->setObjectName(QString::number(Ids::ResultOk));
    if (QPushButton *cancel = box->button(QDialogButtonBox::Cancel))
        cancel->setObjectName(QString::number(Ids::ResultCancel));
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

}  // namespace

PasswordDialog::PasswordDialog(QWidget *parent) : QDialog(parent), m_edit(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Password"));
    setObjectName(QString::number(Ids::PasswordDialog));
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setAccessibleName(QStringLiteral("Password"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons(this, QDialogButtonBox::Ok));
}

QString PasswordDialog::password() const
{
    return m_edit->text();
}

TestEmailDialog::TestEmailDialog(const QString &address, QWidget *parent)
    : QDialog(parent), m_edit(new QLineEdit(address, this))
{
    setWindowTitle(QStringLiteral("Test Email Address"));
    setObjectName(QString::number(Ids::TestEmailDialog));
    m_edit->setObjectName(QString::number(Ids::TestEmailEdit));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Email"), m_edit);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
}

QString TestEmailDialog::address() const
{
    return m_edit->text();
}
