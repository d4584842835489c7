// The recipient history: any file is cut into pieces within their bounds, the texts it
// offers hold no line break, blank or NUL, and a rewrite of its entries gives them back
// byte for byte.

#include "fuzz_support.h"
#include "records/recipient_history.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file = Fuzz::input(data, size);
    const QList<QByteArray> pieces = RecipientHistory::splitIntoPieces(file);
    FUZZ_CHECK(pieces.join() == QByteArray(file).replace("\r\n", "\n"));
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
    FUZZ_CHECK(TestFiles::write(history.path(), file));
    for (const QString &recipient : history.recipients())
        FUZZ_CHECK(!recipient.isEmpty() && !Fuzz::holdsAnyOf(recipient, QLatin1String(" \r\n\0", 4)));
    // The entries: the bytes of their lines, then their texts.
    const auto entries = [&history] {
        std::pair<QList<QByteArray>, QStringList> all;
        for (const RecipientHistory::Entry &entry : history.entries()) {
            FUZZ_CHECK(!entry.bytes.isEmpty() && !entry.text.contains('\n') && !entry.text.contains(QChar(0)));
            all.first << entry.bytes;
            all.second << entry.text;
        }
        return all;
    };
    const auto before = entries();
    FUZZ_CHECK(history.rewrite(before.first).ok());
    // A CR before the line end is part of the line end.
    const auto endsInCr = [](const QByteArray &line) { return line.endsWith('\r'); };
    FUZZ_CHECK(entries() == before || std::any_of(before.first.begin(), before.first.end(), endsInCr));
    FUZZ_CHECK(history.append("last@example.test") && history.entries().last().text == "last@example.test");
    FUZZ_CHECK(history.remove().ok() && !QFile::exists(history.path()));
    return 0;
}
