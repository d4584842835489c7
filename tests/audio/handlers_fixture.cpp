// The form and its fake devices, shared by the recording and playback tests.

#include "tests/audio/handlers_test.h"

#include "resources/resource_ids.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QtEndian>

QByteArray speech(qint64 bytes, int seed)
{
    QByteArray out(int(bytes), '\0');
    for (qint64 i = 0; i + 1 < bytes; i += 2) {
        const auto v = qint16((i * 1237 + seed * 7919) % 65536 - 32768);
        qToLittleEndian(v, out.data() + i);
    }
    return out;
}

QByteArray highBytesOnly(QByteArray pcm)
{
    for (int i = 0; i + 1 < pcm.size(); i += 2)
        pcm[i] = '\0';
    return pcm;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), qint64(data.size()));
}

QByteArray wav8000(const QByteArray &pcm)
{
    auto le16 = [](int v) { char b[2]; qToLittleEndian(quint16(v), b); return QByteArray(b, 2); };
    auto le32 = [](quint32 v) { char b[4]; qToLittleEndian(v, b); return QByteArray(b, 4); };
    const QByteArray fmt = le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16);
    const QByteArray body = "WAVEfmt " + le32(16) + fmt + "data" + le32(quint32(pcm.size())) + pcm;
    return "RIFF" + le32(quint32(body.size())) + body;
}

void HandlersTest::init()
{
    m_program = std::make_unique<QTemporaryDir>();
    m_elsewhere = std::make_unique<QTemporaryDir>();
    QVERIFY(m_program->isValid() && m_elsewhere->isValid());
    QVERIFY(QDir(m_program->path()).mkdir(QStringLiteral("emsg")));
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_in = std::make_unique<FakeAudioInput>();
    m_out = std::make_unique<FakeAudioOutput>();
    makeForm();
}

void HandlersTest::makeForm(bool withDevices)
{
    m_frame.reset();
    m_frame = std::make_unique<CMainFrame>();
    FormServices services;
    services.programFolder = m_program->path();
    services.prompter = m_prompter.get();
    if (withDevices) {
        services.audioInput = m_in.get();
        services.audioOutput = m_out.get();
    }
    m_view = new CTalkpostView(services, m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_frame->setClient(m_view);
    // The outbox and the current folder are somewhere else than the program folder.
    m_view->SetOutboxPath(m_elsewhere->path());
    QDir::setCurrent(m_elsewhere->path());
    m_logSeen = 0;
}

void HandlersTest::cleanup()
{
    QVERIFY(m_prompter->allAnswersUsed());
    m_frame.reset();
    m_out.reset();
    m_in.reset();
    QDir::setCurrent(QDir::tempPath());
}

QStringList HandlersTest::allLog() const
{
    return m_frame->logEdit()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList HandlersTest::newLog()
{
    const QStringList all = allLog();
    const QStringList fresh = all.mid(m_logSeen);
    m_logSeen = int(all.size());
    return fresh;
}

QString HandlersTest::buttons() const
{
    const std::pair<int, const char *> all[] = {
        {Ids::RecButton, "Rec"}, {Ids::PlayButton, "Play"}, {Ids::StopButton, "Stop"}, {Ids::AttachButton, "Attach"}};
    QStringList shown;
    for (const auto &[id, name] : all)
        shown << (m_view->IsButtonEnabled(id) ? QString::fromLatin1(name) : QStringLiteral("-"));
    return shown.join(QLatin1Char(' '));
}

void HandlersTest::waitForCapture()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_in->isCapturing(), 2000);
}

void HandlersTest::record(double seconds)
{
    m_view->OnCommand(Ids::RecButton);
    waitForCapture();
    m_in->deliverSeconds(seconds);
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY_WITH_TIMEOUT(hasNewLine(QStringLiteral("Done.")), 2000);
    newLog();
}

QTEST_MAIN(HandlersTest)
