#include "records/recipient_history.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The longest prefix of at most `limit` bytes that does not split a UTF-8 character.
int cutOnCharacterBoundary(const QByteArray &text, int from, int limit)
{
    int end = from + limit;
    if (end >= text.size())
        return int(text.size());
    int cut = end;
    while (cut > from && isContinuationByte(text.at(cut)))
        --cut;
    return cut > from ? cut : end;
}

// A piece is read as a C string: whatever follows an embedded NUL is not seen.
QByteArray visiblePart(const QByteArray &piece)
{
    const qsizetype nul = piece.indexOf('\0');
    return nul < 0 ? piece : piece.left(nul);
}

void makeWritable(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

}  // namespace

RecipientHistory::RecipientHistory(const QString &programFolder)
    : m_path(QDir(programFolder).filePath(QStringLiteral("history.txt")))
{
}

QList<QByteArray> RecipientHistory::splitIntoPieces(const QByteArray &content)
{
    QByteArray text = content;
    text.replace("\r\n", "\n");
    QList<QByteArray> pieces;
    int from = 0;
    while (from < text.size()) {
        const int lineEnd = int(text.indexOf('\n', from));
        const int available = lineEnd < 0 ? int(text.size()) - from : lineEnd + 1 - from;
        const int cut = available <= PieceBytes ? from + available : cutOnCharacterBoundary(text, from, PieceBytes);
        pieces << text.mid(from, cut - from);
        from = cut;
    }
    return pieces;
}

QList<QByteArray> RecipientHistory::readPieces() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return splitIntoPieces(file.readAll());
}

QStringList RecipientHistory::recipients() const
{
    QStringList result;
    for (const QByteArray &piece : readPieces()) {
        const QByteArray text = visiblePart(piece);
        int start = 0;
        while (start < text.size() && (text[start] == ' ' || text[start] == '\r' || text[start] == '\n'))
            ++start;
        int end = start;
        while (end < text.size() && text[end] != ' ' && text[end] != '\r' && text[end] != '\n')
            ++end;
        if (end > start)
            result << QString::fromUtf8(text.mid(start, end - start));
    }
    return result;
}

QStringList RecipientHistory::entries() const
{
    QStringList result;
    for (const QByteArray &piece : readPieces()) {
        const QByteArray text = visiblePart(piece);
        if (text.isEmpty() || text.front() == '\n')
            continue;
        const qsizetype lineEnd = text.indexOf('\n');
        result << QString::fromUtf8(lineEnd < 0 ? text : text.left(lineEnd));
    }
    return result;
}

bool RecipientHistory::append(const QString &recipient) const
{
    if (QFileInfo::exists(m_path))
        makeWritable(m_path);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Text))
        return false;
    QByteArray line;
    // A last line without its line end (an edited file) must not run into the new one.
    if (file.size() > 0 && file.seek(file.size() - 1)) {
        const QByteArray last = file.read(1);
        if (last != "\n")
            line += '\n';
    }
    line += recipient.toUtf8() + '\n';
    return file.write(line) == line.size() && file.flush();
}

bool RecipientHistory::rewrite(const QStringList &entries) const
{
    if (QFileInfo::exists(m_path))
        makeWritable(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    for (const QString &entry : entries) {
        const QByteArray line = entry.toUtf8() + '\n';
        if (file.write(line) != line.size()) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

bool RecipientHistory::remove() const
{
    if (!QFileInfo::exists(m_path))
        return true;
    makeWritable(m_path);
    return QFile::remove(m_path);
}
