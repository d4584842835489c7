#include "records/recipient_history.h"

#include "storage/legacy_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
        const int end = lineEnd < 0 ? int(text.size()) : lineEnd + 1;
        // A line in the Windows code page has one byte per character: cut anywhere.
        const bool utf8 = LegacyText::isUtf8(QByteArray::fromRawData(text.constData() + from, end - from));
        while (from < end) {
            const int available = end - from;
            const int cut = available <= PieceBytes ? end
                            : utf8                  ? cutOnCharacterBoundary(text, from, PieceBytes)
                                                    : from + PieceBytes;
            pieces << text.mid(from, cut - from);
            from = cut;
        }
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
            result << LegacyText::decode(text.mid(start, end - start));
    }
    return result;
}

QList<RecipientHistory::Entry> RecipientHistory::entries() const
{
    QList<Entry> result;
    for (const QByteArray &piece : readPieces()) {
        const QByteArray text = visiblePart(piece);
        if (text.isEmpty() || text.front() == '\n')
            continue;
        const qsizetype lineEnd = text.indexOf('\n');
        const QByteArray bytes = lineEnd < 0 ? text : text.left(lineEnd);
        result << Entry{LegacyText::decode(bytes), bytes};
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

DurableFile::Result RecipientHistory::rewrite(const QList<QByteArray> &lines) const
{
    if (QFileInfo::exists(m_path))
        makeWritable(m_path);
    QByteArray content;
    for (const QByteArray &line : lines)
        content += line + '\n';
    // Written whole through a checked temporary: a buffered save on a full disk would
    // commit a short file and lose the history.
    return DurableFile::write(m_path, content);
}

DurableFile::Result RecipientHistory::remove() const
{
    if (!QFileInfo::exists(m_path))
        return {};
    makeWritable(m_path);
    QFile file(m_path);
    return {file.remove() ? QString() : file.errorString()};
}
