#include "tests/integration/mail_road_fixture.h"

#include "app/module_state.h"
#include "audio/sample_width.h"
#include "resources/resource_ids.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QtEndian>
#include <cmath>

namespace MailRoad {

void startForm(FormHarness &h, const QString &incoming, const QString &outgoing)
{
    Profile p;
    p.selected = 1;
    p.name = QStringLiteral("Ann");
    p.incoming = incoming;
    p.outgoing = outgoing;
    p.protocol = 1;
    p.user = QString::fromLatin1(MailTest::User);
    p.password = QString::fromLatin1(MailTest::Password);
    p.reply = QStringLiteral("ann@example.test");
    p.inputDevice = -1;
    p.outputDevice = -1;
    p.savePass = 1;
    p.requirePass = 1;
    h.useProfile(p);
    CTalkpostView &view = h.view();
    view.OnInitialUpdate();
    view.OnTimer(Ids::TimerStartupMessage);
    view.m_incoming = incoming;
    view.m_host = outgoing;
    view.m_user = p.user;
    view.m_password = p.password;
    view.m_protocol = 1;
    view.m_requirePass = 1;
    view.m_replyAddress = p.reply;
    view.m_timeoutSeconds = 5;
}

QString makeRecording(const QString &outbox, int seconds, int number)
{
    const QString path = QDir(outbox).filePath(QStringLiteral("orv10390000%1.pcm").arg(number, 2, 10, QLatin1Char('0')));
    QByteArray data(seconds * 16000, '\0');
    for (int i = 0; i < seconds * 8000; ++i) {
        const auto sample = qint16(8000 * std::sin(i * 2 * M_PI * 440 / 8000));
        qToLittleEndian(sample, data.data() + 2 * i);
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(data);
    return path;
}

QString makeCompressedVoice(CTalkpostView &view, const QString &outbox, int number)
{
    const QString raw = makeRecording(outbox, 2, number);
    NarrowTo8Bit(raw);
    QString wav = raw;
    wav.replace(QStringLiteral(".pcm"), QStringLiteral(".wav"));
    QFile f(wav);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    // Any bytes will do: the test compares them with the stored part.
    QByteArray bytes("RIFF\0\0\0\0WAVEfmt ", 16);
    for (int i = 0; i < 20000; ++i)
        bytes += char((i * 7 + number) & 0xff);
    f.write(bytes);
    f.close();
    view.m_voiceFile = raw;
    view.m_infoFile = wav + QStringLiteral(".info");
    g_lastCompressedFile = wav;
    g_lastRecordingFile = raw;
    view.UpdateData(true);
    view.m_attachments += wav + QLatin1Char(',');
    view.m_recordingFile.clear();
    view.UpdateData(false);
    return wav;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool waitForLog(FormHarness &h, const QString &text, int times, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (h.log().count(text) < times && clock.elapsed() < timeoutMs)
        QTest::qWait(20);
    return h.log().count(text) >= times;
}

}  // namespace MailRoad
