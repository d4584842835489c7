// The profiles file: any bytes read as whole records only; what the store writes comes
// back as the store promises (texts cut to 255 bytes on a character, signed bytes).

#include "fuzz_support.h"
#include "settings/profile_file.h"

namespace {

void checkText(const QString &kept, const QString &given)
{
    // A NUL ends a text field; the rest is cut to 255 bytes on a character boundary.
    const QByteArray whole = given.toUtf8().split('\0').first();
    FUZZ_CHECK(Fuzz::longestCut(kept.toUtf8(), whole, ProfileFile::TextSize - 1));
}

Profile anyProfile(FuzzedDataProvider &in)
{
    Profile p;
    p.selected = in.ConsumeIntegral<int>();
    p.name = Fuzz::text(in, 300);
    p.incoming = Fuzz::text(in, 300);
    p.outgoing = Fuzz::text(in, 300);
    p.protocol = in.ConsumeIntegral<int>();
    p.user = Fuzz::text(in, 300);
    p.password = Fuzz::text(in, 300);
    p.reply = Fuzz::text(in, 300);
    p.inputDevice = in.ConsumeIntegralInRange(-1, 127);
    p.outputDevice = in.ConsumeIntegralInRange(-1, 127);
    p.savePass = in.ConsumeIntegralInRange(0, 1);
    p.requirePass = in.ConsumeIntegralInRange(0, 1);
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = ProfileFile::path(Fuzz::scratch().path());
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(Fuzz::writeFile(path, file));
    const ProfileFile::Contents read = ProfileFile::read(path);
    FUZZ_CHECK(read.exists && read.opened);
    FUZZ_CHECK(read.profiles.size() == size / ProfileFile::RecordSize);

    // What was read, written back, reads the same; a second round changes nothing.
    std::vector<Profile> again = read.profiles;
    for (Profile &p : again)
        p = ProfileFile::stored(p);
    FUZZ_CHECK(ProfileFile::write(path, read.profiles));
    const std::vector<Profile> back = ProfileFile::read(path).profiles;
    FUZZ_CHECK(back.size() == again.size());
    for (size_t i = 0; i < back.size(); ++i) {
        FUZZ_CHECK(ProfileFile::encode(back[i]) == ProfileFile::encode(again[i]));
        FUZZ_CHECK(ProfileFile::encode(ProfileFile::stored(back[i])) == ProfileFile::encode(back[i]));
    }

    // A profile made of the same bytes as texts and numbers keeps what fits.
    FuzzedDataProvider in(data, size);
    const Profile given = anyProfile(in);
    FUZZ_CHECK(ProfileFile::write(path, {given}));
    const std::vector<Profile> kept = ProfileFile::read(path).profiles;
    FUZZ_CHECK(kept.size() == 1);
    const Profile &k = kept.front();
    checkText(k.name, given.name);
    checkText(k.incoming, given.incoming);
    checkText(k.outgoing, given.outgoing);
    checkText(k.user, given.user);
    checkText(k.reply, given.reply);
    checkText(k.password, given.savePass ? given.password : QString());
    FUZZ_CHECK(k.selected == (given.selected ? 1 : 0) && k.protocol == qint8(given.protocol));
    FUZZ_CHECK(k.inputDevice == given.inputDevice && k.outputDevice == given.outputDevice);
    FUZZ_CHECK(k.savePass == given.savePass && k.requirePass == given.requirePass);
    return 0;
}
