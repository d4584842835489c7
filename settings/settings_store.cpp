#include "settings/settings_store.h"

#include "storage/legacy_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSettings>
#include <limits>
#include <memory>
#include <optional>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#define ORVANTO_SETTINGS_FILE 1
#include <cstdio>
#endif

namespace SettingsStore {

namespace {

const QLatin1String Section("Settings");
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

std::unique_ptr<QSettings> open()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvanto"),
                                       QStringLiteral("Orvanto"));
}

QString keyOf(const char *name)
{
    return Section + QLatin1Char('/') + QLatin1String(name);
}

// The text after "name=" on the last line that sets the key in an ini file, as it was
// written there; empty when the store is no such file or has no such line.
QString writtenText(const QString &fileName, const QString &key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QString section = key.section(QLatin1Char('/'), 0, 0);
    const QString name = key.section(QLatin1Char('/'), 1);
    QString current, text;
    while (!file.atEnd()) {
        const QString line = LegacyText::decode(file.readLine()).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            current = line.mid(1, line.size() - 2);
        else if (equals > 0 && current == section && line.left(equals).trimmed() == name)
            text = line.mid(equals + 1).trimmed();
    }
    return text;
}

// Reads the values as the registry did: keys in any letter case.
class Reader
{
public:
    explicit Reader(const QSettings &settings) : m_settings(settings)
    {
        for (const QString &key : settings.allKeys())
            m_keys.insert(key.toLower(), key);
    }

    // The key under which the store holds the value, exact letter case first.
    QString storedKey(const char *name) const
    {
        const QString key = keyOf(name);
        return m_settings.contains(key) ? key : m_keys.value(key.toLower());
    }

    // A text, whatever type the store gives: a value with a comma written without
    // quotes comes as a list, bytes of an older version as a byte array.
    QString text(const char *name) const
    {
        const QString key = storedKey(name);
        const QVariant value = key.isEmpty() ? QVariant() : m_settings.value(key);
        switch (value.typeId()) {
        case QMetaType::UnknownType:
            return QString();
        case QMetaType::QStringList: {
            const QString written = writtenText(m_settings.fileName(), key);
            return written.isEmpty() ? value.toStringList().join(QStringLiteral(", ")) : written;
        }
        case QMetaType::QByteArray:
            return LegacyText::decode(value.toByteArray());
        default:
            return value.toString();
        }
    }

    // A stored number as the signed 32-bit value it stands for, if it is one.
    std::optional<int> number(const char *name) const
    {
        const QString key = storedKey(name);
        const QVariant value = key.isEmpty() ? QVariant() : m_settings.value(key);
        qlonglong n = 0;
        bool ok = false;
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            n = value.toLongLong(&ok);
            break;
        case QMetaType::QString:
            n = value.toString().trimmed().toLongLong(&ok, 10);
            break;
        default:
            return std::nullopt;
        }
        if (!ok || n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<quint32>::max())
            return std::nullopt;
        return int(qint32(quint32(n)));
    }

    // Numbers that are none read as 0, which every rule below takes for its default.
    int numberOrZero(const char *name) const { return number(name).value_or(0); }

private:
    const QSettings &m_settings;
    QHash<QString, QString> m_keys;  // lower case to the stored key
};

void writeValues(QSettings &settings, const StoredSettings &s)
{
    auto setNumber = [&](const char *name, int value) {
        // DWORD meaning: -1 is stored as 4294967295.
        settings.setValue(keyOf(name), uint(value));
    };
    auto setText = [&](const char *name, const QString &value) { settings.setValue(keyOf(name), value); };
    const Account a = s.account.kept();
    setNumber("SavePass", a.savePass);
    setNumber("RequirePass", a.requirePass);
    setText("Name", a.name);
    setText("Host", a.outgoing);
    setText("Incoming", a.incoming);
    setText("User", a.user);
    setText("Pass", a.password);
    setText("Reply", a.reply);
    setNumber("Protocol", int(a.protocol));
    setNumber("AutoConnect", s.autoConnect);
    setNumber("VoiceFormat", s.voiceFormat);
    setNumber("Input", a.inputDevice);
    setNumber("Output", a.outputDevice);
}

#ifdef ORVANTO_SETTINGS_FILE
// The values written, as text: a number Qt holds as set reads back from its file as
// text. Other entries of a hand-edited file are not ours to compare: one Qt cannot
// read back the same way must not keep every save from succeeding.
QMap<QString, QStringList> writtenValues(const QSettings &settings)
{
    static const char *const names[] = {"SavePass", "RequirePass", "Name",        "Host",  "Incoming",
                                        "User",     "Pass",        "Reply",       "Protocol", "AutoConnect",
                                        "VoiceFormat", "Input",    "Output"};
    QMap<QString, QStringList> values;
    for (const char *name : names) {
        const QVariant value = settings.value(keyOf(name));
        values.insert(keyOf(name), value.typeId() == QMetaType::QStringList ? value.toStringList()
                                                                           : QStringList(value.toString()));
    }
    return values;
}

// Qt writes its files through a buffered QSaveFile, which on a full disk renames a
// short file into place and reports success. So Qt writes a scratch copy of the
// store, which is then read back under a new name (a fresh read, not Qt's cache of
// what it meant to write) and compared; only bytes that read back whole replace
// the store, durably.
DurableFile::Result saveFile(const StoredSettings &s, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile current(path);
    const QByteArray before = current.open(QIODevice::ReadOnly) ? current.readAll() : QByteArray();
    QString cause;
    const QString scratch = DurableFile::createTemporary(path, before, &cause);
    if (scratch.isEmpty())
        return {cause};
    QMap<QString, QStringList> meant;
    {
        QSettings settings(scratch, QSettings::IniFormat);
        writeValues(settings, s);
        settings.sync();
        meant = writtenValues(settings);
    }
    const QString check = DurableFile::createTemporary(path, QByteArray(), &cause);
    if (check.isEmpty() || std::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(check).constData())) {
        QFile::remove(scratch);
        QFile::remove(check);
        return {cause.isEmpty() ? qt_error_string(errno) : cause};
    }
    QByteArray bytes;
    bool whole = false;
    {
        const QSettings written(check, QSettings::IniFormat);
        QFile file(check);
        whole = written.status() == QSettings::NoError && writtenValues(written) == meant
                && file.open(QIODevice::ReadOnly);
        if (whole)
            bytes = file.readAll();
    }
    QFile::remove(check);
    if (!whole)
        return {QStringLiteral("the file could not be written whole (the disk may be full)")};
    return DurableFile::write(path, bytes, OwnerOnly);
}
#endif

}  // namespace

StoredSettings load()
{
    const auto settings = open();
    const Reader r(*settings);
    StoredSettings s;
    Account &a = s.account;
    a.name = r.text("Name");
    a.outgoing = r.text("Host");
    a.incoming = r.text("Incoming");
    a.user = r.text("User");
    a.password = r.text("Pass");
    a.reply = r.text("Reply");
    a.savePass = StoredNumber::flag(r.numberOrZero("SavePass"));
    a.requirePass = StoredNumber::flag(r.numberOrZero("RequirePass"));
    a.protocol = StoredNumber::protocol(r.numberOrZero("Protocol"));
    s.autoConnect = StoredNumber::flag(r.numberOrZero("AutoConnect"));
    s.voiceFormat = StoredNumber::voiceFormat(r.numberOrZero("VoiceFormat"));
    a.inputDevice = StoredNumber::device(r.numberOrZero("Input"));
    a.outputDevice = StoredNumber::device(r.numberOrZero("Output"));
    return s;
}

DurableFile::Result save(const StoredSettings &s)
{
    const auto settings = open();
#ifdef ORVANTO_SETTINGS_FILE
    // Here the store is an ini file; it may hold a password, so it is the owner's alone.
    return saveFile(s, settings->fileName());
#else
    writeValues(*settings, s);
    settings->sync();
    if (settings->status() != QSettings::NoError)
        return {QStringLiteral("the values could not be written to %1").arg(settings->fileName())};
    return {};
#endif
}

QString location()
{
    return open()->fileName();
}

}  // namespace SettingsStore
