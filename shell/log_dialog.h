#pragma once

#include <QWidget>

class QPlainTextEdit;

// The log dialog: one read-only, never-wrapping text box (control 1000) filling the
// dialog less a 5-pixel margin. The log bar hosts it.
class CLogDialog : public QWidget
{
    Q_OBJECT
public:
    explicit CLogDialog(QWidget *parent = nullptr);

    QPlainTextEdit *edit() const { return m_edit; }

private:
    QPlainTextEdit *m_edit;
};
