#pragma once

#include <QString>

// The sent-message record beside a voice file: its path is the voice file's path
// followed by ".info", and it holds the recipient text exactly, with no line end.
QString SentRecordPath(const QString &voiceFilePath);
// Creates or truncates the record and writes the recipient text; false on failure.
bool WriteSentRecord(const QString &recordPath, const QString &recipient);
