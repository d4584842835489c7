// The profiles file: its record layout checked against an independent reader and
// writer, the text limits, and the safety of rewriting it.

#include "settings/profile_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString Script = QStringLiteral(ORVANTO_SOURCE_DIR "/tests/settings/profile_record.py");

QByteArray runScript(const QStringList &args, const QByteArray &input = QByteArray())
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{Script} + args);
    python.write(input);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        qWarning() << python.readAllStandardError();
    return python.readAllStandardOutput();
}

Profile sample(const QString &name)
{
    Profile p;
    p.name = name;
    p.incoming = QStringLiteral("pop.example.org");
    p.outgoing = QStringLiteral("smtp.example.org");
    p.protocol = 1;
    p.user = QStringLiteral("anna");
    p.password = QStringLiteral("s3cret");
    p.reply = QStringLiteral("anna@example.org");
    p.inputDevice = -1;
    p.outputDevice = 2;
    p.savePass = 1;
    p.requirePass = 1;
    return p;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT
private slots:
    void independentReaderSeesEveryField();
    void independentWriterLoads();
    void textsAreCutOnCharacterBoundaries();
    void namesCompareByStoredBytes();
    void rewriteReplacesTheFileWhole();
    void failedRewriteKeepsPreviousProfiles();
    void missingAndUnreadableFiles();
};

void TestProfileFile::independentReaderSeesEveryField()
{
    QTemporaryDir dir;
    const QString path = ProfileFile::path(dir.path());
    Profile kept = sample(QStringLiteral("Zoë Ω work"));
    kept.selected = 1;
    Profile notKept = sample(QStringLiteral("home"));
    notKept.savePass = 0;  // the typed password must not reach the file
    notKept.protocol = 0;
    notKept.inputDevice = 3;
    notKept.outputDevice = -1;
    notKept.requirePass = 0;
    QVERIFY(ProfileFile::write(path, {kept, notKept}));
    QCOMPARE(QFileInfo(path).size(), qint64(2 * 1542));

    const QJsonArray records = QJsonDocument::fromJson(runScript({QStringLiteral("read"), path})).array();
    QCOMPARE(records.size(), 2);
    const QJsonObject first = records[0].toObject();
    QCOMPARE(first[QStringLiteral("mark")].toInt(), 1);
    QCOMPARE(first[QStringLiteral("name")].toString(), QStringLiteral("Zoë Ω work"));
    QCOMPARE(first[QStringLiteral("incoming")].toString(), QStringLiteral("pop.example.org"));
    QCOMPARE(first[QStringLiteral("outgoing")].toString(), QStringLiteral("smtp.example.org"));
    QCOMPARE(first[QStringLiteral("protocol")].toInt(), 1);
    QCOMPARE(first[QStringLiteral("user")].toString(), QStringLiteral("anna"));
    QCOMPARE(first[QStringLiteral("password")].toString(), QStringLiteral("s3cret"));
    QCOMPARE(first[QStringLiteral("reply")].toString(), QStringLiteral("anna@example.org"));
    QCOMPARE(first[QStringLiteral("input")].toInt(), -1);
    QCOMPARE(first[QStringLiteral("output")].toInt(), 2);
    QCOMPARE(first[QStringLiteral("savePass")].toInt(), 1);
    QCOMPARE(first[QStringLiteral("requirePass")].toInt(), 1);

    const QJsonObject second = records[1].toObject();
    QCOMPARE(second[QStringLiteral("mark")].toInt(), 0);
    QCOMPARE(second[QStringLiteral("name")].toString(), QStringLiteral("home"));
    QCOMPARE(second[QStringLiteral("password")].toString(), QString());
    QCOMPARE(second[QStringLiteral("input")].toInt(), 3);
    QCOMPARE(second[QStringLiteral("output")].toInt(), -1);
    QCOMPARE(second[QStringLiteral("savePass")].toInt(), 0);
    for (const QJsonValue &record : records) {
        for (const char *field : {"name", "incoming", "outgoing", "user", "password", "reply"})
            QVERIFY2(record.toObject()[QLatin1String(field) + QLatin1String("Padded")].toBool(), field);
    }
    // The password field of the second record is 256 zero bytes, -1 is the byte 255.
    const QByteArray bytes = fileBytes(path);
    QCOMPARE(bytes.mid(1542 + 1026, 256), QByteArray(256, '\0'));
    QCOMPARE(uchar(bytes.at(1538)), uchar(255));
}

void TestProfileFile::independentWriterLoads()
{
    QTemporaryDir dir;
    const QString path = ProfileFile::path(dir.path());
    const QByteArray records = R"([
        {"mark": 1, "name": "Büro", "incoming": "in.example", "outgoing": "out.example",
         "protocol": 1, "user": "u1", "password": "p1", "reply": "r1@example",
         "input": -1, "output": 0, "savePass": 1, "requirePass": 1},
        {"mark": 0, "name": "second", "incoming": "", "outgoing": "o2", "protocol": 0,
         "user": "", "password": "", "reply": "", "input": 4, "output": -1,
         "savePass": 0, "requirePass": 0}])";
    runScript({QStringLiteral("write"), path}, records);
    // A trailing partial record is ignored: 3,085 bytes give two profiles.
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("x", 1);
    }
    QCOMPARE(QFileInfo(path).size(), qint64(3085));

    const ProfileFile::Contents contents = ProfileFile::read(path);
    QVERIFY(contents.exists && contents.opened);
    QCOMPARE(contents.profiles.size(), size_t(2));
    const Profile &a = contents.profiles[0];
    QCOMPARE(a.selected, 1);
    QCOMPARE(a.name, QStringLiteral("Büro"));
    QCOMPARE(a.incoming, QStringLiteral("in.example"));
    QCOMPARE(a.outgoing, QStringLiteral("out.example"));
    QCOMPARE(a.protocol, 1);
    QCOMPARE(a.user, QStringLiteral("u1"));
    QCOMPARE(a.password, QStringLiteral("p1"));
    QCOMPARE(a.reply, QStringLiteral("r1@example"));
    QCOMPARE(a.inputDevice, -1);
    QCOMPARE(a.outputDevice, 0);
    QCOMPARE(a.savePass, 1);
    QCOMPARE(a.requirePass, 1);
    const Profile &b = contents.profiles[1];
    QCOMPARE(b.selected, 0);
    QCOMPARE(b.name, QStringLiteral("second"));
    QCOMPARE(b.inputDevice, 4);
    QCOMPARE(b.outputDevice, -1);
    QCOMPARE(b.savePass, 0);
}

void TestProfileFile::textsAreCutOnCharacterBoundaries()
{
    QCOMPARE(ProfileFile::storedText(QString(300, QLatin1Char('n'))), QByteArray(255, 'n'));
    QCOMPARE(ProfileFile::storedText(QString(255, QLatin1Char('n'))), QByteArray(255, 'n'));
    // Characters of two, three and four bytes straddling the 255-byte limit.
    for (const QString &wide : {QStringLiteral("é"), QStringLiteral("€"), QStringLiteral("😀")}) {
        const QString name = QString(253, QLatin1Char('a')) + wide + wide;
        const QByteArray stored = ProfileFile::storedText(name);
        QVERIFY(stored.size() <= 255);
        QCOMPARE(QString::fromUtf8(stored).toUtf8(), stored);  // no broken character
        QVERIFY(name.startsWith(QString::fromUtf8(stored)));
        QVERIFY(stored.size() > 255 - 4);
    }
    Profile p = sample(QString(300, QLatin1Char('x')));
    p.reply = QString(200, QChar(0x00E9));  // 400 bytes of "é"
    const Profile back = ProfileFile::stored(p);
    QCOMPARE(back.name, QString(255, QLatin1Char('x')));
    QCOMPARE(back.reply, QString(127, QChar(0x00E9)));
    const QByteArray record = ProfileFile::encode(p);
    QCOMPARE(record.size(), 1542);
    QCOMPARE(record.at(ProfileFile::NameOffset + 255), '\0');
}

void TestProfileFile::namesCompareByStoredBytes()
{
    QVERIFY(ProfileFile::sameName(QStringLiteral("Work"), QStringLiteral("Work")));
    QVERIFY(!ProfileFile::sameName(QStringLiteral("Work"), QStringLiteral("work")));
    QVERIFY(!ProfileFile::sameName(QStringLiteral("Work"), QStringLiteral("Work ")));
    // A long name matches the profile it was stored as.
    QVERIFY(ProfileFile::sameName(QString(300, QLatin1Char('n')), QString(255, QLatin1Char('n'))));
}

void TestProfileFile::rewriteReplacesTheFileWhole()
{
    QTemporaryDir dir;
    const QString path = ProfileFile::path(dir.path());
    QVERIFY(ProfileFile::write(path, {sample(QStringLiteral("old"))}));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ReadOther);
    // A second name for the old file still shows the old contents afterwards: the
    // new profiles went to a new file that took the name.
    const QString oldLink = dir.filePath(QStringLiteral("old-link"));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(oldLink).constData()), 0);
    QVERIFY(ProfileFile::write(path, {sample(QStringLiteral("new1")), sample(QStringLiteral("new2"))}));
    QCOMPARE(ProfileFile::read(oldLink).profiles.size(), size_t(1));
    QCOMPARE(ProfileFile::read(path).profiles.size(), size_t(2));
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporaries left
}

void TestProfileFile::failedRewriteKeepsPreviousProfiles()
{
    QTemporaryDir dir;
    const QString path = ProfileFile::path(dir.path());
    QVERIFY(ProfileFile::write(path, {sample(QStringLiteral("kept"))}));
    const QByteArray before = fileBytes(path);

    // A file-size limit makes the disk "full" after 2,000 bytes.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 2000;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = ProfileFile::write(path, {sample(QStringLiteral("a")), sample(QStringLiteral("b"))});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);

    QVERIFY(!written);
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestProfileFile::missingAndUnreadableFiles()
{
    QTemporaryDir dir;
    const ProfileFile::Contents missing = ProfileFile::read(dir.filePath(QStringLiteral("profiles.bin")));
    QVERIFY(!missing.exists && !missing.opened && missing.profiles.empty());
    // A folder in place of the file exists but cannot be read as one.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("profiles.bin")));
    const ProfileFile::Contents folder = ProfileFile::read(ProfileFile::path(dir.path()));
    QVERIFY(folder.exists && !folder.opened);
    QVERIFY(!ProfileFile::write(ProfileFile::path(dir.path()), {sample(QStringLiteral("x"))}));
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "test_profile_file.moc"
