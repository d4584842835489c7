#pragma once

#include <QDialog>
#include <QString>

class Prompter;
class QTableWidget;

// The Recorded Messages dialog: every voice file of the outbox with its recipient
// and date, to play, attach again or delete with its record. Ends with
// Ids::ResultAttachFile when Attach File was pressed; chosenPath() then holds the
// voice file's path, or nothing when no row was selected.
class CRecordedMessagesDialog : public QDialog
{
    Q_OBJECT
public:
    CRecordedMessagesDialog(const QString &programFolder, Prompter *prompter, QWidget *parent = nullptr);

    QTableWidget *list() const { return m_list; }
    const QString &chosenPath() const { return m_chosenPath; }

    void OnPlayFile();
    void OnAttachFile();
    void OnDeleteFiles();

private:
    void fillList();
    QString fileNameOfRow(int row) const;

    QString m_outboxFolder;
    Prompter *m_prompter;
    QTableWidget *m_list;
    QString m_chosenPath;
};
