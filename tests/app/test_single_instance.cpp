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
    void initTestCase();
    void secondStartLeavesWithoutTouchingFiles();
    void versionedNameIsFoundToo();
    void crashedInstanceDoesNotBlockStart();
    void simultaneousStartsRunOnce();

private:
    std::unique_ptr<QProcess> start(const QString &folder);
    bool waitUntilRunning(QProcess &process, const QString &folder);
    static bool isEmptyFolder(const QString &folder);
    // waitForFinished answers false for a process that has already ended.
    static bool ends(QProcess &process)
    {
        return process.state() == QProcess::NotRunning || process.waitForFinished(30000);
    }

    QTemporaryDir m_tmp;
    QTemporaryDir m_config;
};

void SingleInstanceTest::initTestCase()
{
    // This process and the children agree on where sockets and locks go.
    qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
    QCOMPARE(QDir::tempPath(), m_tmp.path());
}

std::unique_ptr<QProcess> SingleInstanceTest::start(const QString &folder)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), m_tmp.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(folder);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(ORVANTO_BINARY_DIR "/app/orvanto"), {});
    return process;
}

bool SingleInstanceTest::waitUntilRunning(QProcess &process, const QString &folder)
{
    // A running instance has made its outbox folder and listens on its socket.
    const QString name = SingleInstance::serverName(QString::fromLatin1(Product::MainWindowTitle));
    if (!process.waitForStarted())
        return false;
    for (int waited = 0; waited < 30000; waited += 100) {
        if (process.state() != QProcess::Running)
            return false;
        QLocalSocket probe;
        probe.connectToServer(name);
        if (QDir(folder).exists(QStringLiteral("emsg")) && probe.waitForConnected(100))
            return true;
        QTest::qWait(100);
    }
    return false;
}

bool SingleInstanceTest::isEmptyFolder(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
}

void SingleInstanceTest::secondStartLeavesWithoutTouchingFiles()
{
    QTemporaryDir firstFolder, secondFolder;
    auto first = start(firstFolder.path());
    QVERIFY(waitUntilRunning(*first, firstFolder.path()));

    auto second = start(secondFolder.path());
    QVERIFY(ends(*second));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(isEmptyFolder(secondFolder.path()));
    QCOMPARE(first->state(), QProcess::Running);

    first->kill();
    first->waitForFinished();
}

void SingleInstanceTest::versionedNameIsFoundToo()
{
    QLocalServer other;
    QVERIFY(other.listen(SingleInstance::serverName(QString::fromLatin1(Product::VersionedName))));
    QTemporaryDir folder;
    auto process = start(folder.path());
    QVERIFY(other.waitForNewConnection(30000));
    QLocalSocket *socket = other.nextPendingConnection();
    QTRY_VERIFY_WITH_TIMEOUT(socket->canReadLine(), 10000);
    QCOMPARE(socket->readLine(), QByteArray("Raise\n"));
    QVERIFY(ends(*process));
    QCOMPARE(process->exitCode(), 0);
    QVERIFY(isEmptyFolder(folder.path()));
}

void SingleInstanceTest::crashedInstanceDoesNotBlockStart()
{
    QTemporaryDir firstFolder, secondFolder;
    auto crashed = start(firstFolder.path());
    QVERIFY(waitUntilRunning(*crashed, firstFolder.path()));
    crashed->kill();  // leaves its socket file and lock file behind
    QVERIFY(crashed->waitForFinished());

    auto next = start(secondFolder.path());
    QVERIFY(waitUntilRunning(*next, secondFolder.path()));
    next->kill();
    next->waitForFinished();
}

void SingleInstanceTest::simultaneousStartsRunOnce()
{
    QTemporaryDir a, b;
    auto first = start(a.path());
    auto second = start(b.path());
    QVERIFY(first->waitForStarted());
    QVERIFY(second->waitForStarted());
    // Whichever wins runs on; the other leaves having touched nothing.
    QTRY_VERIFY_WITH_TIMEOUT(first->state() != QProcess::Running || second->state() != QProcess::Running, 40000);
    QProcess *loser = first->state() == QProcess::Running ? second.get() : first.get();
    QProcess *winner = loser == first.get() ? second.get() : first.get();
    const QString loserFolder = loser == first.get() ? a.path() : b.path();
    const QString winnerFolder = loser == first.get() ? b.path() : a.path();
    QVERIFY(ends(*loser));
    QCOMPARE(loser->exitCode(), 0);
    QVERIFY(isEmptyFolder(loserFolder));
    QVERIFY(waitUntilRunning(*winner, winnerFolder));
    winner->kill();
    winner->waitForFinished();
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "test_single_instance.moc"
