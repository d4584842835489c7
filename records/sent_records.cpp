#include "records/sent_records.h"

#include <QFile>

QString SentRecordPath(const QString &voiceFilePath)
{
    return voiceFilePath + QStringLiteral(".info");
}

bool WriteSentRecord(const QString &recordPath, const QString &recipient)
{
    QFile record(recordPath);
    if (!record.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    const QByteArray text = recipient.toUtf8();
    return record.write(text) == text.size() && record.flush();
}
