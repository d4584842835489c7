#include "settings/outbox_path_dialog.h"

#include "resources/resource_ids.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

COutboxPathDialog::COutboxPathDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Outbox Path"));
    setObjectName(QString::number(Ids::OutboxPathDialog));
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setObjectName(QString::number(Ids::OutboxPathEdit));
    m_pathEdit->setAccessibleName(QStringLiteral("Outbox Path"));
    m_pathEdit->setMinimumWidth(260);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(Ids::ResultOk));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QString::number(Ids::ResultCancel));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *column = new QVBoxLayout(this);
    column->addWidget(m_pathEdit);
    column->addLayout(buttons);
}

void COutboxPathDialog::setPath(const QString &path)
{
    m_pathEdit->setText(path);
}

QString COutboxPathDialog::path() const
{
    return m_pathEdit->text();
}
