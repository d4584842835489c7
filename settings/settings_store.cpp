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
    Account &a = s.account;
    a.name = text(*settings, "Name");
    a.outgoing = text(*settings, "Host");
    a.incoming = text(*settings, "Incoming");
    a.user = text(*settings, "User");
    a.password = text(*settings, "Pass");
    a.reply = text(*settings, "Reply");
    a.savePass = number(*settings, "SavePass", 0, 1) != 0;
    a.requirePass = number(*settings, "RequirePass", 0, 1) != 0;
    a.protocol = MailProtocol(number(*settings, "Protocol", 0, 1));
    s.autoConnect = number(*settings, "AutoConnect", 0, 1) != 0;
    s.voiceFormat = number(*settings, "VoiceFormat", 0, 1);
    a.inputDevice = number(*settings, "Input", -1, MaxDevice);
    a.outputDevice = number(*settings, "Output", -1, MaxDevice);
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
