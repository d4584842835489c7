#include "settings/settings_store.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QDir>
#include <limits>
#include <memory>
#include <optional>

namespace SettingsStore {

namespace {

const QLatin1String Section("Settings/");

std::unique_ptr<QSettings> open()
{
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Orvanto"), QStringLiteral("Orvanto"));
    // A file store is replaced whole on every save, never left half-written.
    settings->setAtomicSyncRequired(true);
    return settings;
}

QString text(const QSettings &settings, const char *name)
{
    const QVariant value = settings.value(Section + QLatin1String(name));
    if (value.typeId() != QMetaType::QString)
        return QString();
    return value.toString();
}

// A stored number as the signed 32-bit value it stands for, if it is one.
std::optional<int> number(const QSettings &settings, const char *name)
{
    const QVariant value = settings.value(Section + QLatin1String(name));
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

int number(const QSettings &settings, const char *name, int low, int high)
{
    const std::optional<int> n = number(settings, name);
    return n && *n >= low && *n <= high ? *n : 0;
}

// A device index is kept in profiles as a signed byte; -1 means none.
constexpr int MaxDevice = 127;

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#define ORVANTO_SETTINGS_FILE 1
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
#endif

}  // namespace

StoredSettings load()
{
    const auto settings = open();
    StoredSettings s;
    s.name = text(*settings, "Name");
    s.host = text(*settings, "Host");
    s.incoming = text(*settings, "Incoming");
    s.user = text(*settings, "User");
    s.pass = text(*settings, "Pass");
    s.reply = text(*settings, "Reply");
    s.savePass = number(*settings, "SavePass", 0, 1);
    s.requirePass = number(*settings, "RequirePass", 0, 1);
    s.protocol = number(*settings, "Protocol", 0, 1);
    s.autoConnect = number(*settings, "AutoConnect", 0, 1);
    s.input = number(*settings, "Input", -1, MaxDevice);
    s.output = number(*settings, "Output", -1, MaxDevice);
    return s;
}

void save(const StoredSettings &s)
{
    const auto settings = open();
#ifdef ORVANTO_SETTINGS_FILE
    // Here the store is an ini file, rewritten with the permissions of the
    // previous one: start it as the owner's alone, since it may hold a password.
    const QString fileName = settings->fileName();
    if (!QFileInfo::exists(fileName)) {
        QDir().mkpath(QFileInfo(fileName).absolutePath());
        QFile file(fileName);
        if (file.open(QIODevice::WriteOnly))
            file.setPermissions(OwnerOnly);
    }
#endif
    auto setNumber = [&](const char *name, int value) {
        // DWORD meaning: -1 is stored as 4294967295.
        settings->setValue(Section + QLatin1String(name), uint(value));
    };
    auto setText = [&](const char *name, const QString &value) {
        settings->setValue(Section + QLatin1String(name), value);
    };
    setNumber("SavePass", s.savePass);
    setNumber("RequirePass", s.requirePass);
    setText("Name", s.name);
    setText("Host", s.host);
    setText("Incoming", s.incoming);
    setText("User", s.user);
    setText("Pass", s.pass);
    setText("Reply", s.reply);
    setNumber("Protocol", s.protocol);
    setNumber("AutoConnect", s.autoConnect);
    setNumber("Input", s.input);
    setNumber("Output", s.output);
    settings->sync();
#ifdef ORVANTO_SETTINGS_FILE
    QFile::setPermissions(fileName, OwnerOnly);
#endif
}

QString location()
{
    return open()->fileName();
}

}  // namespace SettingsStore
