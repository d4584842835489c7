// The recipient history: any file is cut into pieces within their bounds, the texts it
// offers hold no line break, blank or NUL, and a rewrite of its entries reads back the same.

#include "fuzz_support.h"
#include "records/recipient_history.h"

#include <QStringList>
#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray lines = file;
    lines.replace("\r\n", "\n");
    const QList<QByteArray> pieces = RecipientHistory::splitIntoPieces(file);
    FUZZ_CHECK(pieces.join() == lines);
    auto continuation = [](char c) { return (uchar(c) & 0xC0) == 0x80; };
    for (int i = 0; i < pieces.size(); ++i) {
        const QByteArray &piece = pieces[i];
        FUZZ_CHECK(!piece.isEmpty() && piece.size() <= RecipientHistory::PieceBytes);
        FUZZ_CHECK(piece.indexOf('\n') < 0 || piece.indexOf('\n') == piece.size() - 1);
        // A character is split only where nothing but continuation bytes would be left.
        if (i + 1 < pieces.size() && !piece.endsWith('\n') && continuation(pieces[i + 1].front()))
            FUZZ_CHECK(std::all_of(piece.begin() + 1, piece.end(), continuation));
    }

    const RecipientHistory history(Fuzz::scratch().path());
    FUZZ_CHECK(Fuzz::writeFile(history.path(), file));
    for (const QString &recipient : history.recipients()) {
        FUZZ_CHECK(!recipient.isEmpty());
        for (const char *forbidden : {" ", "\r", "\n", "\0"})
            FUZZ_CHECK(!recipient.contains(QLatin1String(forbidden, 1)));
    }
    const QStringList entries = history.entries();
    bool exact = true;
    for (const QString &entry : entries) {
        FUZZ_CHECK(!entry.isEmpty() && !entry.contains(QLatin1Char('\n')) && !entry.contains(QChar(0)));
        // Bytes that are not UTF-8 come back as replacement characters, which may be longer,
        // and a CR before the line end is part of the line end.
        exact = exact && entry.toUtf8().size() <= RecipientHistory::PieceBytes && !entry.endsWith(QLatin1Char('\r'));
    }
    FUZZ_CHECK(history.rewrite(entries));
    if (exact)
        FUZZ_CHECK(history.entries() == entries);
    FUZZ_CHECK(history.append(QStringLiteral("last@example.test")));
    FUZZ_CHECK(history.entries().endsWith(QStringLiteral("last@example.test")));
    FUZZ_CHECK(history.remove() && !QFile::exists(history.path()));
    return 0;
}
