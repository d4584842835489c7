#include "app/single_instance.h"
#include "resources/product.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <unistd.h>

// Starts real Orvanto processes; they inherit this test's environment, with folders of its own.
class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", m_run.path().toLocal8Bit());
    }

    // The socket and its lock are in the user's runtime folder, private to the login: a
    // second start of the login leaves quietly, another login runs its own Orvanto. A
    // crash leaves both files behind, and the next start runs all the same.
    void socketAndLockAreTheLoginsOwn()
    {
        QTemporaryDir mine, again, otherLogin, otherRun;
        auto first = start(mine.path());
        QVERIFY(isRunning(*first, mine.path()));
        QCOMPARE(QDir(m_run.path()).entryList({QStringLiteral("*.lock")}, QDir::Files).size(), 1);  // and the socket
        QVERIFY(leftQuietly(*start(again.path()), again.path()) && first->state() == QProcess::Running);
        end(*first);
        auto next = start(again.path());
        QVERIFY(isRunning(*next, again.path()));
        qputenv("XDG_RUNTIME_DIR", otherRun.path().toLocal8Bit());
        auto other = start(otherLogin.path());
        QTRY_VERIFY_WITH_TIMEOUT(QDir(otherRun.path()).entryList(QDir::System | QDir::Files).size() == 2, 30000);

        // No runtime folder: <TMPDIR>/orvanto-<uid>, made private; another user's is refused,
        // and Orvanto then runs without the guard, touching nothing there.
        qunsetenv("XDG_RUNTIME_DIR");
        const QString own = QDir(m_tmp.path()).filePath(QStringLiteral("orvanto-%1").arg(::getuid()));
        QVERIFY(SingleInstance::runtimeFolder() == own && (int(QFile::permissions(own)) & 0x7077) == 0x7000);
        QVERIFY(::chown(QFile::encodeName(own).constData(), 65534, 65534) == 0);
        QVERIFY(SingleInstance::runtimeFolder().isEmpty() && SingleInstance().claim() && QDir(own).isEmpty());
        qputenv("XDG_RUNTIME_DIR", m_run.path().toLocal8Bit());
        end(*next);
        end(*other);
    }

    // An instance found under the versioned name is asked to raise its window; of two
    // starts at once, one runs on and the other leaves having touched nothing.
    void versionedNameAndSimultaneousStarts()
    {
        QTemporaryDir a, b, c;
        QLocalServer versioned;
        QVERIFY(versioned.listen(SingleInstance::serverName(QString::fromLatin1(Product::VersionedName))));
        auto process = start(c.path());
        QVERIFY(versioned.waitForNewConnection(30000));
        QLocalSocket *socket = versioned.nextPendingConnection();
        QTRY_COMPARE_WITH_TIMEOUT(socket->peek(6), QByteArray("Raise\n"), 10000);
        QVERIFY(leftQuietly(*process, c.path()));
        versioned.close();

        std::unique_ptr<QProcess> first = start(a.path()), second = start(b.path());
        QVERIFY(first->waitForStarted() && second->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(first->state() != QProcess::Running || second->state() != QProcess::Running, 40000);
        const bool firstWon = first->state() == QProcess::Running;
        QVERIFY(leftQuietly(firstWon ? *second : *first, firstWon ? b.path() : a.path()));
        QVERIFY(isRunning(firstWon ? *first : *second, firstWon ? a.path() : b.path()));
        end(firstWon ? *first : *second);
    }

    // A line may come in pieces and several in one connection. A client that keeps
    // writing a line without end is cut off and holds up nobody else's message.
    void linesFromSeveralClients()
    {
        QTemporaryDir run;
        qputenv("XDG_RUNTIME_DIR", run.path().toLocal8Bit());
        SingleInstance instance;
        QSignalSpy raised(&instance, &SingleInstance::raiseRequested);
        QSignalSpy saved(&instance, &SingleInstance::saveProfileRequested);
        QVERIFY(instance.claim());
        const QString name = SingleInstance::serverName(QString::fromLatin1(Product::MainWindowTitle));
        QLocalSocket pieces, endless;
        pieces.connectToServer(name);
        endless.connectToServer(name);
        QVERIFY(pieces.waitForConnected(1000) && endless.waitForConnected(1000));
        pieces.write("Save Pro");
        endless.write(QByteArray(5000, 'x'));
        QVERIFY(pieces.flush() && endless.flush());
        QTest::qWait(100);
        QVERIFY(SingleInstance::send(name, SingleInstance::RaiseMessage));
        pieces.write("file\nRaise\n");
        QTRY_VERIFY(saved.size() == 1 && raised.size() == 2);
        QTRY_COMPARE(endless.state(), QLocalSocket::UnconnectedState);
        qputenv("XDG_RUNTIME_DIR", m_run.path().toLocal8Bit());
    }

private:
    // Orvanto in `folder`, with this process's environment as it is now.
    std::unique_ptr<QProcess> start(const QString &folder)
    {
        auto process = std::make_unique<QProcess>();
        process->setWorkingDirectory(folder);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(ORVANTO_BINARY_DIR "/app/orvanto"), {});
        return process;
    }

    // A running instance has made its outbox folder and listens on its socket.
    static bool isRunning(QProcess &process, const QString &folder)
    {
        return process.waitForStarted() && QTest::qWaitFor([&] {
            QLocalSocket probe;
            probe.connectToServer(SingleInstance::serverName(QString::fromLatin1(Product::MainWindowTitle)));
            return QDir(folder).exists(QStringLiteral("emsg")) && probe.waitForConnected(100);
        }, 30000);
    }

    // Ended (or had: waitForFinished then answers false) with exit code 0, having made nothing in its folder.
    static bool leftQuietly(QProcess &process, const QString &folder)
    {
        const bool ended = process.state() == QProcess::NotRunning || process.waitForFinished(30000);
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
               QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    static void end(QProcess &process) { process.kill(); process.waitForFinished(); }

    QTemporaryDir m_tmp, m_config, m_run;
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "test_single_instance.moc"
