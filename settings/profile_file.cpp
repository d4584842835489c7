#include "settings/profile_file.h"

#include "storage/legacy_text.h"

#include <QDir>
#include <QFile>
#include <cstring>

namespace ProfileFile {

namespace {

void putText(QByteArray &record, int offset, const QString &text)
{
    const QByteArray bytes = storedText(text);
    std::memcpy(record.data() + offset, bytes.constData(), size_t(bytes.size()));
}

QString takeText(const char *record, int offset)
{
    const char *field = record + offset;
    const void *end = std::memchr(field, 0, TextSize);
    const qsizetype length = end ? static_cast<const char *>(end) - field : TextSize;
    return LegacyText::decode(QByteArray(field, length));
}

char signedByte(int value)
{
    return char(qint8(value));
}

int readSigned(const char *record, int offset)
{
    return qint8(record[offset]);
}

}  // namespace

QByteArray storedText(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    const int limit = TextSize - 1;
    if (bytes.size() <= limit)
        return bytes;
    // Back off over continuation bytes (10xxxxxx) to the start of a character.
    int cut = limit;
    while (cut > 0 && (uchar(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}

QByteArray encode(const Profile &profile)
{
    if (profile.raw.size() == RecordSize && decode(profile.raw.constData()).kept() == profile.kept()) {
        QByteArray record = profile.raw;
        record[MarkOffset] = char(profile.selected ? 1 : 0);
        return record;
    }
    QByteArray record(RecordSize, '\0');
    record[MarkOffset] = char(profile.selected ? 1 : 0);
    putText(record, NameOffset, profile.name);
    putText(record, IncomingOffset, profile.incoming);
    putText(record, OutgoingOffset, profile.outgoing);
    record[ProtocolOffset] = signedByte(int(profile.protocol));
    putText(record, UserOffset, profile.user);
    putText(record, PasswordOffset, profile.kept().password);
    putText(record, ReplyOffset, profile.reply);
    record[InputOffset] = signedByte(profile.inputDevice);
    record[OutputOffset] = signedByte(profile.outputDevice);
    record[SavePassOffset] = signedByte(profile.savePass);
    record[RequirePassOffset] = signedByte(profile.requirePass);
    return record;
}

Profile decode(const char *record)
{
    Profile p;
    p.selected = uchar(record[MarkOffset]);
    p.name = takeText(record, NameOffset);
    p.incoming = takeText(record, IncomingOffset);
    p.outgoing = takeText(record, OutgoingOffset);
    p.protocol = StoredNumber::protocol(readSigned(record, ProtocolOffset));
    p.user = takeText(record, UserOffset);
    p.password = takeText(record, PasswordOffset);
    p.reply = takeText(record, ReplyOffset);
    p.inputDevice = StoredNumber::device(readSigned(record, InputOffset));
    p.outputDevice = StoredNumber::device(readSigned(record, OutputOffset));
    p.savePass = StoredNumber::flag(readSigned(record, SavePassOffset));
    p.requirePass = StoredNumber::flag(readSigned(record, RequirePassOffset));
    p.raw = QByteArray(record, RecordSize);
    return p;
}

Profile stored(const Profile &profile)
{
    return decode(encode(profile).constData());
}

bool sameName(const QString &a, const QString &b)
{
    return storedText(a) == storedText(b);
}

QString path(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("profiles.bin"));
}

Contents read(const QString &filePath)
{
    Contents contents;
    QFile file(filePath);
    contents.exists = file.exists();
    if (!contents.exists || !file.open(QIODevice::ReadOnly))
        return contents;
    contents.opened = true;
    QByteArray record(RecordSize, '\0');
    while (file.read(record.data(), RecordSize) == RecordSize)
        contents.profiles.push_back(decode(record.constData()));
    return contents;
}

DurableFile::Result write(const QString &filePath, const std::vector<Profile> &profiles)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(profiles.size()) * RecordSize);
    for (const Profile &profile : profiles)
        bytes += encode(profile);
    // The records hold passwords: the file is the owner's alone.
    return DurableFile::write(filePath, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

}  // namespace ProfileFile
