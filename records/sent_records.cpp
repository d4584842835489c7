#include "records/sent_records.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

namespace SentMessages {

namespace {

// Records are scanned this far at most for their first word; nothing the form
// writes comes near it.
constexpr qint64 ScanLimitBytes = 1 << 20;
constexpr qint64 ChunkBytes = 4096;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

QByteArray cutOnCharacterBoundary(const QByteArray &word, int limit)
{
    if (word.size() <= limit)
        return word;
    int cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(word.at(cut)) & 0xC0) == 0x80)
        --cut;
    return word.left(cut > 0 ? cut : limit);
}

bool removeIfPresent(const QString &path)
{
    if (!QFileInfo::exists(path))
        return true;
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return QFile::remove(path);
}

Qt::CaseSensitivity fileNameCase()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

}  // namespace

QString OutboxFolder(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("emsg"));
}

bool IsVoiceFileName(const QString &fileName)
{
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QDir::separator()))
        return false;
    const Qt::CaseSensitivity cs = fileNameCase();
    return fileName.size() >= 7 && fileName.startsWith(QLatin1String("orv"), cs)
           && (fileName.endsWith(QLatin1String(".wav"), cs) || fileName.endsWith(QLatin1String(".mp3"), cs));
}

QList<Entry> List(const QString &outboxFolder)
{
    QDir folder(outboxFolder);
    QDir::Filters filters = QDir::Files | QDir::Hidden | QDir::System;
    if (fileNameCase() == Qt::CaseSensitive)
        filters |= QDir::CaseSensitive;
    const QFileInfoList files =
        folder.entryInfoList({QStringLiteral("orv*.wav"), QStringLiteral("orv*.mp3")}, filters, QDir::Name);
    QList<Entry> entries;
    for (const QFileInfo &file : files) {
        if (!IsVoiceFileName(file.fileName()))
            continue;
        Entry entry;
        entry.fileName = file.fileName();
        entry.created = file.birthTime().isValid() ? file.birthTime() : file.lastModified();
        entry.sentTo = ReadSentTo(SentRecordPath(file.filePath()));
        entries << entry;
    }
    return entries;
}

QString ReadSentTo(const QString &recordPath)
{
    QFile record(recordPath);
    if (!record.open(QIODevice::ReadOnly))
        return QString();
    QByteArray word;
    qint64 scanned = 0;
    bool started = false;
    while (scanned < ScanLimitBytes) {
        const QByteArray chunk = record.read(ChunkBytes);
        if (chunk.isEmpty())
            break;
        scanned += chunk.size();
        for (const char c : chunk) {
            if (!started && isSpace(c))
                continue;
            started = true;
            // The word ends at blank space; a NUL ends it as a C string would.
            if (isSpace(c) || c == '\0')
                return QString::fromUtf8(cutOnCharacterBoundary(word, SentToBytes));
            word += c;
            if (word.size() > SentToBytes)
                return QString::fromUtf8(cutOnCharacterBoundary(word, SentToBytes));
        }
    }
    return QString::fromUtf8(cutOnCharacterBoundary(word, SentToBytes));
}

QString FormatDate(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("MM/dd/yyyy HH:mm:ss"));
}

bool Delete(const QString &outboxFolder, const QString &fileName)
{
    if (!IsVoiceFileName(fileName))
        return false;
    const QString voiceFile = QDir(outboxFolder).filePath(fileName);
    const bool voiceGone = removeIfPresent(voiceFile);
    const bool recordGone = removeIfPresent(SentRecordPath(voiceFile));
    return voiceGone && recordGone;
}

}  // namespace SentMessages
