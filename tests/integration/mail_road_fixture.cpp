#include "tests/integration/mail_road_fixture.h"

#include "app/module_state.h"
#include "audio/sample_width.h"
#include "resources/resource_ids.h"

#include <QDir>
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
    p.protocol = MailProtocol::Esmtp;
    p.user = QString::fromLatin1(MailTest::User);
    p.password = QString::fromLatin1(MailTest::Password);
    p.reply = QStringLiteral("ann@example.test");
    p.inputDevice = -1;
    p.outputDevice = -1;
    p.savePass = true;
    p.requirePass = true;
    h.useProfile(p);
    h.view().OnInitialUpdate();
    h.view().OnTimer(Ids::TimerStartupMessage);
    h.view().m_timeoutSeconds = 5;
}

QString makeRecording(const QString &outbox, int seconds, int number)
{
    const QString path = QDir(outbox).filePath(QStringLiteral("orv10390000%1.pcm").arg(number, 2, 10, QLatin1Char('0')));
    QByteArray data(seconds * 16000, '\0');
    for (int i = 0; i < seconds * 8000; ++i)
        qToLittleEndian(qint16(8000 * std::sin(i * 2 * M_PI * 440 / 8000)), data.data() + 2 * i);
    return TestFiles::write(path, data) ? path : QString();
}

QString makeCompressedVoice(CTalkpostView &view, const QString &outbox, int number)
{
    const QString raw = makeRecording(outbox, 2, number);
    NarrowTo8Bit(raw);
    QString wav = raw;
    wav.replace(QStringLiteral(".pcm"), QStringLiteral(".wav"));
    // Any bytes will do: the tests compare them with the stored part.
    QByteArray bytes("RIFF\0\0\0\0WAVEfmt ", 16);
    for (int i = 0; i < 20000; ++i)
        bytes += char((i * 7 + number) & 0xff);
    if (!TestFiles::write(wav, bytes))
        return {};
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

bool waitForLog(FormHarness &h, const QString &text, int times, int timeoutMs)
{
    return QTest::qWaitFor([&] { return h.log().count(text) >= times; }, timeoutMs);
}

}  // namespace MailRoad
