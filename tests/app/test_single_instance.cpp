#include "app/single_instance.h"
#include "resources/product.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Starts real Orvanto processes. Sockets and the lock live in a private TMPDIR, so a
// running Orvanto of the user is never disturbed.
class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The children inherit these.
        qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
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
        const QString name = SingleInstance::serverName(QString::fromLatin1(Product::MainWindowTitle));
        for (int waited = 0; process.waitForStarted() && waited < 30000; waited += 100) {
            QLocalSocket probe;
            probe.connectToServer(name);
            if (QDir(folder).exists(QStringLiteral("emsg")) && probe.waitForConnected(100))
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

    QTemporaryDir m_tmp, m_config;
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "test_single_instance.moc"
