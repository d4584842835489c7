#pragma once

#include <QDialog>

class QLineEdit;

// The Outbox Path dialog (template 134): one edit for a folder, OK and Cancel.
class COutboxPathDialog : public QDialog
{
    Q_OBJECT
public:
    explicit COutboxPathDialog(QWidget *parent = nullptr);

    void setPath(const QString &path);
    // The text of the edit.
    QString path() const;

    QLineEdit *m_pathEdit = nullptr;
};
