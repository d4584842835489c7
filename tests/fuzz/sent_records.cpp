// Sent-message records: any record gives one word within its byte bound, a written
// recipient reads back as its first word, and deleting by any name removes nothing but
// a voice file and its record in the outbox.

#include "fuzz_support.h"
#include "records/sent_records.h"

namespace {

// The first word of the bytes: from the first non-blank to a blank or a NUL.
QByteArray firstWord(const QByteArray &record)
{
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    qsizetype from = 0, to = 0;
    while (from < record.size() && blank(record[from]))
        ++from;
    for (to = from; to < record.size() && !blank(record[to]) && record[to] != '\0';)
        ++to;
    return record.mid(from, to - from);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QDir outbox(Fuzz::scratch().filePath(QStringLiteral("emsg")));
    outbox.mkpath(QStringLiteral("."));
    const QString voice = outbox.filePath(QStringLiteral("orv1.wav")), record = SentRecordPath(voice);
    const QByteArray bytes = Fuzz::bytes(in, 2048);
    FUZZ_CHECK(TestFiles::write(record, bytes));
    const QString word = SentMessages::ReadSentTo(record);
    FUZZ_CHECK(!Fuzz::holdsAnyOf(word, QLatin1String(" \t\n\v\f\r\0", 7)));
    if (QString::fromUtf8(firstWord(bytes)).toUtf8() == firstWord(bytes))
        FUZZ_CHECK(Fuzz::longestCut(word.toUtf8(), firstWord(bytes), SentMessages::SentToBytes));

    const QString recipient = Fuzz::text(in, 400);
    FUZZ_CHECK(WriteSentRecord(record, recipient) && TestFiles::read(record) == recipient.toUtf8());
    FUZZ_CHECK(Fuzz::longestCut(SentMessages::ReadSentTo(record).toUtf8(), firstWord(recipient.toUtf8()),
                                SentMessages::SentToBytes));

    // Only "orv*.wav" names in the outbox itself are deleted, with their records.
    const QString keep = Fuzz::scratch().filePath(QStringLiteral("keep.wav"));
    FUZZ_CHECK(TestFiles::write(voice, "RIFF") && TestFiles::write(keep, "x"));
    const QString name = Fuzz::text(in, 64);
    FUZZ_CHECK(SentMessages::Delete(outbox.path(), name) == SentMessages::IsVoiceFileName(name) && QFile::exists(keep));
    FUZZ_CHECK(QFile::exists(voice) != (name == QStringLiteral("orv1.wav")));
    FUZZ_CHECK(QFile::exists(record) == QFile::exists(voice));
    for (const SentMessages::Entry &entry : SentMessages::List(outbox.path()))
        FUZZ_CHECK(SentMessages::IsVoiceFileName(entry.fileName));
    return 0;
}
