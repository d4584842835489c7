#include "app/single_instance.h"
#include "resources/product.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// Starts real Orvanto processes. Sockets and the lock live in a private runtime
// folder, so a running Orvanto of the user is never disturbed.
class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The children inherit these.
        qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", m_run.path().toLocal8Bit());
    }

    // The socket and its lock are in the user's runtime folder, private to the login:
    // another login (another runtime folder) runs its own Orvanto. Without one they go
    // to a folder of the user's own; one that is not the user's alone is not used.
    void socketAndLockAreTheLoginsOwn()
    {
        QTemporaryDir mine, otherLogin, otherFolder, unguarded;
        auto first = start(mine.path());
        QVERIFY(isRunning(*first, mine.path()));
        const QStringList inRuntime = QDir(m_run.path()).entryList(QDir::System | QDir::Files);
        QCOMPARE(inRuntime.filter(QStringLiteral(".lock")).size(), 1);
        QCOMPARE(inRuntime.size(), 2);  // the socket and its lock
        QVERIFY(QDir(m_tmp.path()).entryList({QStringLiteral("orvanto-*")}, QDir::AllEntries | QDir::System).isEmpty());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QTemporaryDir otherRun;
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), otherRun.path());
        auto second = start(otherLogin.path(), env);
        QTRY_VERIFY_WITH_TIMEOUT(QDir(otherRun.path()).entryList(QDir::System | QDir::Files).size() == 2, 30000);
        QCOMPARE(second->state(), QProcess::Running);

        // No runtime folder: <TMPDIR>/orvanto-<uid>, made private; another user's is refused.
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        const QString own = QDir(m_tmp.path()).filePath(QStringLiteral("orvanto-%1").arg(::getuid()));
        auto third = start(otherFolder.path(), env);
        QTRY_VERIFY_WITH_TIMEOUT(QDir(own).entryList(QDir::System | QDir::Files).size() == 2, 30000);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(own).constData(), &st) == 0 && (st.st_mode & 0777) == 0700);
        end(*third);
        QVERIFY(QDir(own).removeRecursively());
        QVERIFY(QDir().mkdir(own) && ::chown(QFile::encodeName(own).constData(), 65534, 65534) == 0);
        auto fourth = start(unguarded.path(), env);
        QVERIFY(isRunning(*fourth, unguarded.path(), false));
        QTest::qWait(500);
        QCOMPARE(fourth->state(), QProcess::Running);
        QVERIFY(QDir(own).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).isEmpty());
        for (QProcess *p : {first.get(), second.get(), fourth.get()})
            end(*p);
        QDir(own).removeRecursively();
    }

    void secondStartLeavesAndACrashDoesNotBlock()
    {
        QTemporaryDir firstFolder, secondFolder;
        auto first = start(firstFolder.path());
        QVERIFY(isRunning(*first, firstFolder.path()));
        auto second = start(secondFolder.path());
        QVERIFY(leftQuietly(*second, secondFolder.path()));
        QCOMPARE(first->state(), QProcess::Running);
        // A crash leaves the socket file and the lock file behind; the next start runs all the same.
        end(*first);
        auto next = start(secondFolder.path());
        QVERIFY(isRunning(*next, secondFolder.path()));
        end(*next);
    }

    void versionedNameIsFoundToo()
    {
        QLocalServer other;
        QVERIFY(other.listen(SingleInstance::serverName(QString::fromLatin1(Product::VersionedName))));
        QTemporaryDir folder;
        auto process = start(folder.path());
        QVERIFY(other.waitForNewConnection(30000));
        QLocalSocket *socket = other.nextPendingConnection();
        while (!socket->canReadLine())
            QVERIFY(socket->waitForReadyRead(10000));
        QCOMPARE(socket->readLine(), QByteArray("Raise\n"));
        QVERIFY(leftQuietly(*process, folder.path()));
    }

    void simultaneousStartsRunOnce()
    {
        QTemporaryDir a, b;
        std::unique_ptr<QProcess> first = start(a.path()), second = start(b.path());
        QVERIFY(first->waitForStarted() && second->waitForStarted());
        // Whichever wins runs on; the other leaves having touched nothing.
        QTRY_VERIFY_WITH_TIMEOUT(first->state() != QProcess::Running || second->state() != QProcess::Running, 40000);
        const bool firstWon = first->state() == QProcess::Running;
        QVERIFY(leftQuietly(firstWon ? *second : *first, firstWon ? b.path() : a.path()));
        QVERIFY(isRunning(firstWon ? *first : *second, firstWon ? a.path() : b.path()));
        end(firstWon ? *first : *second);
    }

private:
    std::unique_ptr<QProcess> start(const QString &folder,
                                    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(folder);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(ORVANTO_BINARY_DIR "/app/orvanto"), {});
        return process;
    }

    // A running instance has made its outbox folder and listens on its socket (when
    // it has a safe place for one).
    static bool isRunning(QProcess &process, const QString &folder, bool listens = true)
    {
        const QString name = SingleInstance::serverName(QString::fromLatin1(Product::MainWindowTitle));
        for (int waited = 0; process.waitForStarted() && waited < 30000; waited += 100) {
            QLocalSocket probe;
            probe.connectToServer(name);
            if (QDir(folder).exists(QStringLiteral("emsg")) && (!listens || probe.waitForConnected(100)))
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    // Ended with exit code 0 having created nothing in its folder.
    static bool leftQuietly(QProcess &process, const QString &folder)
    {
        // waitForFinished answers false for a process that has already ended.
        const bool ended = process.state() == QProcess::NotRunning || process.waitForFinished(30000);
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
               QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
    }

    static void end(QProcess &process) { process.kill(); process.waitForFinished(); }

    QTemporaryDir m_tmp, m_config, m_run;
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "test_single_instance.moc"
