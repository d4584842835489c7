// Sent-message records: any record gives one word within its byte bound, a written
// recipient reads back as its first word, and deleting by any name removes nothing but
// a voice file and its record in the outbox.

#include "fuzz_support.h"
#include "records/sent_records.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The first word of the bytes: from the first non-blank to a blank or a NUL.
QByteArray firstWord(const QByteArray &record)
{
    int from = 0;
    while (from < record.size() && isBlank(record[from]))
        ++from;
    int to = from;
    while (to < record.size() && !isBlank(record[to]) && record[to] != '\0')
        ++to;
    return record.mid(from, to - from);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QDir outbox(Fuzz::scratch().filePath(QStringLiteral("emsg")));
    outbox.mkpath(QStringLiteral("."));
    const QString voice = outbox.filePath(QStringLiteral("orv1.wav"));
    const QString record = SentRecordPath(voice);

    const QByteArray bytes = Fuzz::bytes(in, 2048);
    FUZZ_CHECK(Fuzz::writeFile(record, bytes));
    const QByteArray word = SentMessages::ReadSentTo(record).toUtf8();
    const QByteArray expected = firstWord(bytes);
    if (QString::fromUtf8(expected).toUtf8() == expected)
        FUZZ_CHECK(Fuzz::longestCut(word, expected, SentMessages::SentToBytes));
    for (const char c : word)
        FUZZ_CHECK(!isBlank(c) && c != '\0');

    const QString recipient = Fuzz::text(in, 400);
    FUZZ_CHECK(WriteSentRecord(record, recipient) && Fuzz::readFile(record) == recipient.toUtf8());
    FUZZ_CHECK(Fuzz::longestCut(SentMessages::ReadSentTo(record).toUtf8(), firstWord(recipient.toUtf8()),
                                SentMessages::SentToBytes));

    // Only "orv*.wav" names in the outbox itself are deleted, with their records.
    FUZZ_CHECK(Fuzz::writeFile(voice, "RIFF") && Fuzz::writeFile(Fuzz::scratch().filePath("keep.wav"), "x"));
    const QString name = Fuzz::text(in, 64);
    const bool deleted = SentMessages::Delete(outbox.path(), name);
    FUZZ_CHECK(QFile::exists(Fuzz::scratch().filePath("keep.wav")));
    FUZZ_CHECK(deleted == SentMessages::IsVoiceFileName(name));
    if (name == QStringLiteral("orv1.wav"))
        FUZZ_CHECK(!QFile::exists(voice) && !QFile::exists(record));
    else
        FUZZ_CHECK(QFile::exists(voice));
    const QList<SentMessages::Entry> listed = SentMessages::List(outbox.path());
    for (const SentMessages::Entry &entry : listed)
        FUZZ_CHECK(SentMessages::IsVoiceFileName(entry.fileName));
    return 0;
}
