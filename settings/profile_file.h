#pragma once

#include "settings/profile.h"
#include "storage/durable_file.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The profiles file: fixed 1,542-byte records one after the other, no header.
// Offsets of a record:
//     0  selection mark (1 on the current profile)
//     1  name             257 incoming server     513 outgoing server
//   769  protocol (signed byte)
//   770  user name       1026 password           1282 reply address
//  1538  input device  1539 output device  1540 keep password  1541 requires password
//        (signed bytes; a device of -1, stored 255, means none)
// Text fields are 256 bytes of UTF-8: at most 255 bytes, then zeros. Text that is not
// valid UTF-8 (written by older versions in the Windows code page) reads as
// Windows-1252. Numbers outside their ranges read as the defaults.
namespace ProfileFile {

constexpr int RecordSize = 1542;
constexpr int TextSize = 256;

constexpr int MarkOffset = 0;
constexpr int NameOffset = 1;
constexpr int IncomingOffset = 257;
constexpr int OutgoingOffset = 513;
constexpr int ProtocolOffset = 769;
constexpr int UserOffset = 770;
constexpr int PasswordOffset = 1026;
constexpr int ReplyOffset = 1282;
constexpr int InputOffset = 1538;
constexpr int OutputOffset = 1539;
constexpr int SavePassOffset = 1540;
constexpr int RequirePassOffset = 1541;

// The text as a field stores it: UTF-8 cut to 255 bytes, never inside a character.
QByteArray storedText(const QString &text);

// The record of a profile. The password field stays zero unless the profile keeps
// its password. A profile read from a record and not changed since gives that
// record back, with only its selection mark set anew.
QByteArray encode(const Profile &profile);
// The profile of one record, which it keeps as its raw bytes; record must hold
// RecordSize bytes.
Profile decode(const char *record);
// The profile exactly as the file would give it back.
Profile stored(const Profile &profile);

// Names match when their stored bytes are equal: case-sensitive, whole texts.
bool sameName(const QString &a, const QString &b);

// "profiles.bin" in the given folder.
QString path(const QString &programFolder);

struct Contents
{
    bool exists = false;  // false: no file at all
    bool opened = false;  // false: missing or unreadable
    std::vector<Profile> profiles;  // whole records up to the end or a short read
};
Contents read(const QString &filePath);

// Rewrites the whole file durably (see DurableFile::write), owner-only: a failure
// keeps the previous file and gives its cause.
DurableFile::Result write(const QString &filePath, const std::vector<Profile> &profiles);

}  // namespace ProfileFile
