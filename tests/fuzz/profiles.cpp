// The profiles file: any bytes read as whole records with numbers in their ranges, and
// written back byte for byte but for the selection mark; a profile written comes back as
// the store promises (a text ends at a NUL and is cut to 255 bytes on a character, the
// password kept only with "keep password").

#include "fuzz_support.h"
#include "settings/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = ProfileFile::path(Fuzz::scratch().path());
    const QByteArray file = Fuzz::input(data, size);
    const int records = int(size / ProfileFile::RecordSize), length = ProfileFile::RecordSize - 1;  // after the mark
    FUZZ_CHECK(TestFiles::write(path, file));
    const ProfileFile::Contents read = ProfileFile::read(path);
    FUZZ_CHECK(read.exists && read.opened && read.profiles.size() == size_t(records));
    for (const Profile &p : read.profiles)
        FUZZ_CHECK(Fuzz::inRange(p));
    FUZZ_CHECK(ProfileFile::write(path, read.profiles).ok());
    const QByteArray written = TestFiles::read(path);
    FUZZ_CHECK(written.size() == records * ProfileFile::RecordSize);
    for (int at = 1; at < records * ProfileFile::RecordSize; at += ProfileFile::RecordSize)
        FUZZ_CHECK(written.mid(at, length) == file.mid(at, length));

    FuzzedDataProvider in(data, size);
    const Profile given(Fuzz::anyAccount(in), in.ConsumeBool());
    FUZZ_CHECK(ProfileFile::write(path, {given}).ok());
    const std::vector<Profile> back = ProfileFile::read(path).profiles;
    FUZZ_CHECK(back.size() == 1 && back[0].selected == given.selected);
    const Account kept = given.kept(), &k = back[0];
    for (QString Account::*field : Fuzz::AccountTexts)
        FUZZ_CHECK(Fuzz::longestCut((k.*field).toUtf8(), (kept.*field).toUtf8().split('\0').first(), 255));
    FUZZ_CHECK(k.protocol == kept.protocol && k.inputDevice == kept.inputDevice && k.outputDevice == kept.outputDevice);
    FUZZ_CHECK(k.savePass == kept.savePass && k.requirePass == kept.requirePass);
    return 0;
}
