#pragma once

#include "storage/durable_file.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The recipient history: history.txt in the program folder, one recipient text per
// line, in the order of the first send to it. A missing or unreadable file is an
// empty history; a failed write leaves the file as it was. Lines that are not valid
// UTF-8 (older versions wrote the Windows code page) read as Windows-1252.
class RecipientHistory
{
public:
    // One entry of the History dialog: its text, and its bytes as the file holds them.
    struct Entry
    {
        QString text;
        QByteArray bytes;
    };

    // A line is read in pieces of at most this many bytes; a longer line gives several.
    static constexpr int PieceBytes = 254;

    explicit RecipientHistory(const QString &programFolder);

    const QString &path() const { return m_path; }

    // What the To box offers: of every piece, the text before the first CR, LF or
    // blank, leading blanks skipped; pieces without such text give nothing.
    QStringList recipients() const;
    // What the History dialog lists: every piece that does not begin with a line
    // end, up to its line end, blanks kept.
    QList<Entry> entries() const;

    // Appends the text and a line end, creating the file when missing.
    bool append(const QString &recipient) const;
    // Replaces the file with these lines (as entries give their bytes, so a line
    // nobody changed is written back byte for byte), each ended by a line feed. The
    // file is replaced durably: on failure the old one stays whole and the cause is
    // returned.
    DurableFile::Result rewrite(const QList<QByteArray> &lines) const;
    // Deletes the file; a failure gives its cause.
    DurableFile::Result remove() const;

    // The file's lines cut into pieces as described above: each piece holds at most
    // PieceBytes bytes (cut on a character boundary of UTF-8 lines), with its LF when
    // the line ended within it. CR LF line ends read as LF. Linear in the file's size.
    static QList<QByteArray> splitIntoPieces(const QByteArray &content);

private:
    QList<QByteArray> readPieces() const;

    QString m_path;
};
