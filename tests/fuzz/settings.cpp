// The settings store: any file in its place loads as values within their ranges, and
// what is saved loads back unchanged, texts of any characters included.

#include "fuzz_support.h"
#include "settings/settings_store.h"

#include <QDateTime>

namespace {

QStringList fields(const StoredSettings &s)
{
    QStringList all{s.name, s.host, s.incoming, s.user, s.pass, s.reply};
    for (const int n : {s.savePass, s.requirePass, s.protocol, s.autoConnect, s.input, s.output})
        all << QString::number(n);
    return all;
}

bool inRange(const StoredSettings &s)
{
    for (const int flag : {s.savePass, s.requirePass, s.protocol, s.autoConnect}) {
        if (flag != 0 && flag != 1)
            return false;
    }
    return s.input >= -1 && s.input <= 127 && s.output >= -1 && s.output <= 127;
}

// The file as another program might have left it. Its time is new on every run, since
// the store reads a file again only when its size or time has changed.
bool putFile(const QString &path, const QByteArray &content)
{
    static qint64 tick = 0;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size()
           && file.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000'000 + ++tick), QFileDevice::FileModificationTime);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = [] {
        SettingsStore::save({});
        return SettingsStore::location();
    }();
    FuzzedDataProvider in(data, size);
    FUZZ_CHECK(putFile(path, Fuzz::bytes(in, 2048)));
    const StoredSettings loaded = SettingsStore::load();
    FUZZ_CHECK(inRange(loaded));
    SettingsStore::save(loaded);
    FUZZ_CHECK(fields(SettingsStore::load()) == fields(loaded));

    StoredSettings given;
    for (QString *text : {&given.name, &given.host, &given.incoming, &given.user, &given.pass, &given.reply})
        *text = Fuzz::text(in, 300);
    for (int *flag : {&given.savePass, &given.requirePass, &given.protocol, &given.autoConnect})
        *flag = in.ConsumeIntegralInRange(0, 1);
    given.input = in.ConsumeIntegralInRange(-1, 127);
    given.output = in.ConsumeIntegralInRange(-1, 127);
    SettingsStore::save(given);
    FUZZ_CHECK(fields(SettingsStore::load()) == fields(given));
    FUZZ_CHECK((QFile::permissions(path) & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                             | QFileDevice::ReadUser | QFileDevice::WriteUser)) == 0);
    return 0;
}
