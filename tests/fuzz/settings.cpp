// The settings store: any file in its place loads as values within their ranges, can
// be saved over, and what is saved loads back unchanged (the password only with "keep password"), texts of
// any characters included; the file is its owner's alone.

#include "fuzz_support.h"
#include "settings/settings_store.h"

#include <QDateTime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = [] {
        SettingsStore::save({});
        return SettingsStore::location();
    }();
    // The file as another program might have left it. Its time is new on every run, since
    // the store reads a file again only when its size or time has changed.
    static qint64 tick = 0;
    const auto sameAsKept = [](const StoredSettings &loaded, const StoredSettings &given) {
        return loaded.account == given.account.kept() && loaded.autoConnect == given.autoConnect
               && loaded.voiceFormat == given.voiceFormat;
    };
    FuzzedDataProvider in(data, size);
    const QByteArray written = Fuzz::bytes(in, 2048);
    QFile file(path);
    FUZZ_CHECK(TestFiles::write(path, written) && file.open(QIODevice::ReadWrite)
               && file.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000'000 + ++tick), QFile::FileModificationTime));
    file.close();
    const StoredSettings loaded = SettingsStore::load();
    FUZZ_CHECK(Fuzz::inRange(loaded.account) && (loaded.voiceFormat == 0 || loaded.voiceFormat == 1));
    // Whatever else a hand-edited file holds, what is saved over it loads back.
    FUZZ_CHECK(SettingsStore::save(loaded).ok() && sameAsKept(SettingsStore::load(), loaded));

    FUZZ_CHECK(QFile::remove(path));
    const StoredSettings given{Fuzz::anyAccount(in), in.ConsumeBool(), in.ConsumeBool() ? 1 : 0};
    FUZZ_CHECK(SettingsStore::save(given).ok() && sameAsKept(SettingsStore::load(), given));
    FUZZ_CHECK((int(QFile::permissions(path)) & ~0x6600) == 0);  // read and write for the owner alone
    return 0;
}
