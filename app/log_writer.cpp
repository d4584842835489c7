#include "app/log_writer.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

void LogWriter::append(const QString &text)
{
    if (!m_edit)
        return;
    if (m_position == 0)
        m_edit->clear();

    QString line = text + QStringLiteral("\r\n");
    if (line.size() > BreakWidth) {
        const int space = line.left(BreakWidth).lastIndexOf(QLatin1Char(' '));
        const QString first = (space >= 0 ? line.left(space) : line.left(BreakWidth)) + QStringLiteral("\r\n");
        const QString rest = space >= 0 ? line.mid(space + 1) : line.mid(BreakWidth);
        write(first);
        m_position += int(first.size());
        line = QLatin1Char('\t') + rest;
    }
    write(line);
    m_position += int(line.size());
    if (m_position > EmptyAfter)
        m_position = 0;
}

void LogWriter::write(const QString &piece)
{
    // The text box keeps bare line feeds; the position counts CR LF as two characters.
    QString shown = piece;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.remove(QLatin1Char('\r'));
    QTextCursor cursor(m_edit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    m_edit->setTextCursor(cursor);
    m_edit->ensureCursorVisible();
}
