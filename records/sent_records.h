#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The sent-message record beside a voice file: its path is the voice file's path
// followed by ".info", and it holds the recipient text exactly, with no line end.
QString SentRecordPath(const QString &voiceFilePath);
// Creates or truncates the record and writes the recipient text; false on failure.
bool WriteSentRecord(const QString &recordPath, const QString &recipient);

// The outbox's voice files ("orv*.wav" and "orv*.mp3" in the outbox folder) and their records.
namespace SentMessages {

// The recipient word shown for a record is cut to this many bytes.
constexpr int SentToBytes = 255;

struct Entry
{
    QString fileName;   // the voice file's name, without folder
    QString sentTo;     // first word of its record; empty without a record
    QDateTime created;  // creation time, or modification time where none is kept
};

// The outbox folder of a program folder.
QString OutboxFolder(const QString &programFolder);
// True for the names the list shows: "orv", anything, ".wav" or ".mp3", and no folder part.
bool IsVoiceFileName(const QString &fileName);
// Every voice file of the folder in name order, with its record's word and its date.
QList<Entry> List(const QString &outboxFolder);
// The first whitespace-delimited word of a record, cut to SentToBytes bytes on a
// character boundary; empty when the file is missing, unreadable or blank.
QString ReadSentTo(const QString &recordPath);
// The "Date" column: local time as month/day/year hours:minutes:seconds.
QString FormatDate(const QDateTime &time);
// Deletes a voice file and its record, each where it exists; names that are not
// voice file names are refused. True when neither file is left.
bool Delete(const QString &outboxFolder, const QString &fileName);

}  // namespace SentMessages
