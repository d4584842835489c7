// The settings store: defaults, the 32-bit meaning of numbers, values of the wrong
// type or out of range, and the owner-only file.

#include "settings/settings_store.h"

#include <QFile>
#include <QSettings>
#include <QTest>

namespace {

QSettings raw()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvanto"),
                     QStringLiteral("Orvanto"));
}

}  // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT
private slots:
    void init() { raw().clear(); }
    void onlyNameGivesDefaults();
    void twelveValuesRoundTrip();
    void minusOneIsStoredAsDword();
    void wrongTypesAndRangesReadAsDefaults();
    void fileIsTheOwnersAlone();
};

void TestSettingsStore::onlyNameGivesDefaults()
{
    QCOMPARE(SettingsStore::load().name, QString());
    raw().setValue(QStringLiteral("Settings/Name"), QStringLiteral("Home"));
    const StoredSettings s = SettingsStore::load();
    QCOMPARE(s.name, QStringLiteral("Home"));
    QCOMPARE(s.host, QString());
    QCOMPARE(s.incoming, QString());
    QCOMPARE(s.pass, QString());
    QCOMPARE(s.protocol, 0);
    QCOMPARE(s.input, 0);
    QCOMPARE(s.output, 0);
    QCOMPARE(s.autoConnect, 0);
    QCOMPARE(s.savePass, 0);
}

void TestSettingsStore::twelveValuesRoundTrip()
{
    StoredSettings s;
    s.name = QStringLiteral("Work, main");  // a comma must not turn it into a list
    s.host = QStringLiteral("smtp.example.org");
    s.incoming = QStringLiteral("pop.example.org");
    s.user = QStringLiteral("anna");
    s.pass = QStringLiteral("pw=\"x\"");
    s.reply = QStringLiteral("anna@example.org");
    s.savePass = 1;
    s.requirePass = 1;
    s.protocol = 1;
    s.autoConnect = 1;
    s.input = 3;
    s.output = 2;
    SettingsStore::save(s);
    const StoredSettings back = SettingsStore::load();
    QCOMPARE(back.name, s.name);
    QCOMPARE(back.host, s.host);
    QCOMPARE(back.incoming, s.incoming);
    QCOMPARE(back.user, s.user);
    QCOMPARE(back.pass, s.pass);
    QCOMPARE(back.reply, s.reply);
    QCOMPARE(back.savePass, 1);
    QCOMPARE(back.requirePass, 1);
    QCOMPARE(back.protocol, 1);
    QCOMPARE(back.autoConnect, 1);
    QCOMPARE(back.input, 3);
    QCOMPARE(back.output, 2);
}

void TestSettingsStore::minusOneIsStoredAsDword()
{
    StoredSettings s;
    s.name = QStringLiteral("x");
    s.input = -1;
    s.output = -1;
    SettingsStore::save(s);
    QCOMPARE(raw().value(QStringLiteral("Settings/Input")).toString(), QStringLiteral("4294967295"));
    QCOMPARE(SettingsStore::load().input, -1);
    QCOMPARE(SettingsStore::load().output, -1);

    raw().setValue(QStringLiteral("Settings/Input"), QStringLiteral("4294967295"));
    raw().setValue(QStringLiteral("Settings/Output"), 1u);
    QCOMPARE(SettingsStore::load().input, -1);
    QCOMPARE(SettingsStore::load().output, 1);
}

void TestSettingsStore::wrongTypesAndRangesReadAsDefaults()
{
    QSettings settings = raw();
    settings.setValue(QStringLiteral("Settings/Name"), QStringLiteral("n"));
    settings.setValue(QStringLiteral("Settings/Protocol"), 7);
    settings.setValue(QStringLiteral("Settings/Input"), QStringLiteral("abc"));
    settings.setValue(QStringLiteral("Settings/Output"), QStringLiteral("4294967294"));  // -2
    settings.setValue(QStringLiteral("Settings/SavePass"), 2);
    settings.setValue(QStringLiteral("Settings/RequirePass"), QStringLiteral("1x"));
    settings.setValue(QStringLiteral("Settings/AutoConnect"), QStringLiteral("99999999999"));
    settings.setValue(QStringLiteral("Settings/Host"), QStringList{QStringLiteral("a"), QStringLiteral("b")});
    settings.setValue(QStringLiteral("Settings/User"), QByteArray("\x01\x02", 2));
    settings.sync();
    const StoredSettings s = SettingsStore::load();
    QCOMPARE(s.protocol, 0);
    QCOMPARE(s.input, 0);
    QCOMPARE(s.output, 0);
    QCOMPARE(s.savePass, 0);
    QCOMPARE(s.requirePass, 0);
    QCOMPARE(s.autoConnect, 0);
    QCOMPARE(s.host, QString());
    QCOMPARE(s.user, QString());

    // In range they pass.
    settings.setValue(QStringLiteral("Settings/Protocol"), QStringLiteral(" 1 "));
    settings.setValue(QStringLiteral("Settings/Output"), 127);
    settings.sync();
    QCOMPARE(SettingsStore::load().protocol, 1);
    QCOMPARE(SettingsStore::load().output, 127);
}

void TestSettingsStore::fileIsTheOwnersAlone()
{
    const QString file = SettingsStore::location();
    QFile::remove(file);
    StoredSettings s;
    s.name = QStringLiteral("n");
    s.pass = QStringLiteral("secret");
    SettingsStore::save(s);
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                        QFileDevice::WriteOther | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    QVERIFY(QFile::exists(file));
    QCOMPARE(QFile::permissions(file) & others, QFileDevice::Permissions());
    // A file others could read is made the owner's on the next save.
    QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    SettingsStore::save(s);
    QCOMPARE(QFile::permissions(file) & others, QFileDevice::Permissions());
    QCOMPARE(SettingsStore::load().pass, QStringLiteral("secret"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
