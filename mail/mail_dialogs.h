#pragma once

#include <QDialog>

class QLineEdit;

// The "Password" dialog (template 183): one password edit and OK.
class PasswordDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget *parent = nullptr);
    QString password() const;
    QLineEdit *edit() const { return m_edit; }

private:
    QLineEdit *m_edit;
};

// The "Test Email Address" dialog (template 132): edit 1012 labelled "Email", OK, Cancel.
class TestEmailDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TestEmailDialog(const QString &address, QWidget *parent = nullptr);
    QString address() const;
    QLineEdit *edit() const { return m_edit; }

private:
    QLineEdit *m_edit;
};
