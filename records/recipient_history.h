#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The recipient history: history.txt in the program folder, one recipient text per
// line, in the order of the first send to it. Every failure is silent: a missing or
// unreadable file is an empty history, a failed write leaves the file as it was.
class RecipientHistory
{
public:
    // A line is read in pieces of at most this many bytes; a longer line gives several.
    static constexpr int PieceBytes = 254;

    explicit RecipientHistory(const QString &programFolder);

    const QString &path() const { return m_path; }

    // What the To box offers: of every piece, the text before the first CR, LF or
    // blank, leading blanks skipped; pieces without such text give nothing.
    QStringList recipients() const;
    // What the History dialog lists: every piece that does not begin with a line
    // end, up to its line end, blanks kept.
    QStringList entries() const;

    // Appends the text and a line end, creating the file when missing.
    bool append(const QString &recipient) const;
    // Replaces the file with these entries, one per line. The new file is written
    // beside the old one and renamed over it, so the old one stays whole on failure.
    bool rewrite(const QStringList &entries) const;
    // Deletes the file; true when no file is left.
    bool remove() const;

    // The file's lines cut into pieces as described above: each piece holds at most
    // PieceBytes bytes (cut on a character boundary), with its LF when the line ended
    // within it. CR LF line ends read as LF. Exposed for the tests of the cutting.
    static QList<QByteArray> splitIntoPieces(const QByteArray &content);

private:
    QList<QByteArray> readPieces() const;

    QString m_path;
};
