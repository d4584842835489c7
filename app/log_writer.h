#pragma once

#include <QString>

class QPlainTextEdit;

// Writes lines into the log window. Lines longer than 90 characters (line end
// included) are broken once, at the last blank of the first 90, and continue after a
// TAB; after more than 10000 characters the next line empties the window first.
class LogWriter
{
public:
    explicit LogWriter(QPlainTextEdit *edit) : m_edit(edit) {}

    void append(const QString &text);
    // Characters appended since the window was last emptied automatically.
    int position() const { return m_position; }

    static constexpr int BreakWidth = 90;
    static constexpr int EmptyAfter = 10000;

private:
    void write(const QString &piece);

    QPlainTextEdit *m_edit;
    int m_position = 0;
};
