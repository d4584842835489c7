#pragma once

#include "records/recipient_history.h"

#include <QDialog>

class Prompter;
class QPushButton;
class QTableWidget;

// The History dialog: the recipient history in file order, with Clear and Delete.
// Every change goes to history.txt at once; the form reloads its To box afterwards.
// A change the file cannot take is refused with a message, and the list shows the
// file as it stayed.
class CHistoryDialog : public QDialog
{
    Q_OBJECT
public:
    CHistoryDialog(const QString &programFolder, Prompter *prompter, QWidget *parent = nullptr);

    QTableWidget *list() const { return m_list; }

    void OnClear();
    void OnDelete();

private:
    void fillList();

    RecipientHistory m_history;
    Prompter *m_prompter;
    QTableWidget *m_list;
};
