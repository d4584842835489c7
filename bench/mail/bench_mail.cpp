// Composes and sends a 150-second voice message to the local SMTP server through the
// mail control, against `curl --upload-file` of the same message bytes to the same
// server, in one run; prints the median times and their ratio (target at most 1.3).
// A 5 ms timer on the calling thread meanwhile measures the longest gap between its
// ticks: the thread never waits for the network (target: no gap over 30 ms).

#include "mail/cmail.h"
#include "tests/support/mail/mail_servers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Seconds = 150;
constexpr int Rounds = 7;
// GSM 6.10 in WAV: 65 bytes per 320 samples, 8000 samples a second, after a 60-byte header.
constexpr int VoiceBytes = 60 + Seconds * 8000 / 320 * 65;

bool waitForOutcome(CMail &mail, int timeoutMs = 60000)
{
    QEventLoop loop;
    bool ok = false;
    const auto done = QObject::connect(&mail, &CMail::Done, &loop, [&] { ok = true; loop.quit(); });
    const auto error = QObject::connect(&mail, &CMail::Error, &loop, [&](short code, const QString &text) {
        std::fprintf(stderr, "error %d: %s\n", code, qPrintable(text));
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(done);
    QObject::disconnect(error);
    return ok;
}

void compose(CMail &mail, const QString &voice)
{
    mail.SetBlocking(true);
    mail.SetAction(11);
    mail.SetDate(QStringLiteral("Saturday, December 06, 2025 07:39 PM"));
    mail.SetMessageId(QStringLiteral("2025126193901TAVEMAIL"));
    mail.SetFrom(QStringLiteral("<ann@example.test>"));
    mail.SetReplyTo(QStringLiteral("<ann@example.test>"));
    mail.SetTo(QStringLiteral("bob@example.test"));
    mail.SetSubject(QStringLiteral("Voice message from Ann"));
    mail.SetContentType(QStringLiteral("multipart"));
    mail.SetContentSubtype(QStringLiteral("mixed"));
    mail.SetBoundary(QStringLiteral("1234_boundary"));
    mail.SetAction(4);
    mail.SetAction(7);
    mail.SetContentType(QStringLiteral("audio"));
    mail.SetContentSubtype(QStringLiteral("basic"));
    mail.SetContentParameters(QStringLiteral("name=\"orv1.wav\""));
    mail.SetContentTransferEncoding(QStringLiteral("base64"));
    mail.SetContentDisposition(QStringLiteral("attachment; filename=\"orv1.wav\""));
    mail.SetAttachmentPath(voice);
    mail.SetAction(9);
    mail.SetAction(2);
    mail.SetAction(4);
    mail.SetAction(7);
    mail.SetContentType(QStringLiteral("text"));
    mail.SetContentSubtype(QStringLiteral("plain"));
    mail.SetBodyText(0, QStringLiteral("Hello,\r\n\r\nThe attached audio file is the actual message.\r\n"));
    mail.SetAction(2);
}

qint64 median(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    MailTest::SmtpServer server;
    if (!dir.isValid() || !server.start(QStringLiteral("plain"))) {
        std::fprintf(stderr, "cannot start the SMTP server\n");
        return 1;
    }
    QByteArray voice(VoiceBytes, '\0');
    for (char &b : voice)
        b = char(QRandomGenerator::global()->bounded(256));
    const QString voicePath = dir.filePath(QStringLiteral("orv1.wav"));
    QFile f(voicePath);
    if (!f.open(QIODevice::WriteOnly) || f.write(voice) != voice.size())
        return 1;
    f.close();

    std::vector<qint64> ours, reference;
    qint64 longestGap = 0;
    QByteArray messageBytes;
    for (int round = 0; round < Rounds; ++round) {
        CMail mail;
        mail.SetHostName(server.host());
        mail.SetProtocol(0);
        mail.SetTimeout(30);

        QElapsedTimer sinceTick;
        qint64 gap = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            gap = std::max(gap, sinceTick.restart());
        });
        QElapsedTimer clock;
        clock.start();
        sinceTick.start();
        probe.start(5);
        mail.SetBlocking(false);
        mail.Connect();
        if (!waitForOutcome(mail))
            return 1;
        compose(mail, voicePath);
        mail.SetBlocking(false);
        mail.SetAction(15);
        if (!waitForOutcome(mail))
            return 1;
        mail.Disconnect();
        if (!waitForOutcome(mail))
            return 1;
        ours.push_back(clock.nsecsElapsed() / 1000);
        probe.stop();
        longestGap = std::max(longestGap, gap);
    }
    // The reference sends the very bytes the control wrote, as the server stored them.
    const QStringList stored = server.messages();
    const QString messagePath = stored.last();
    QFile m(messagePath);
    if (!m.open(QIODevice::ReadOnly))
        return 1;
    messageBytes = m.readAll();
    const QString uploadPath = dir.filePath(QStringLiteral("message.eml"));
    QFile u(uploadPath);
    if (!u.open(QIODevice::WriteOnly) || u.write(messageBytes) != messageBytes.size())
        return 1;
    u.close();

    for (int round = 0; round < Rounds; ++round) {
        QProcess curl;
        QElapsedTimer clock;
        clock.start();
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("--url"),
                    QStringLiteral("smtp://%1/bench").arg(server.host()), QStringLiteral("--mail-from"),
                    QStringLiteral("ann@example.test"), QStringLiteral("--mail-rcpt"),
                    QStringLiteral("bob@example.test"), QStringLiteral("--upload-file"), uploadPath});
        if (!curl.waitForFinished(60000) || curl.exitCode() != 0) {
            std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
            return 1;
        }
        reference.push_back(clock.nsecsElapsed() / 1000);
    }
    const double ratio = double(median(ours)) / double(median(reference));
    std::printf("message: %lld bytes (voice file %d bytes, %d s)\n", (long long)messageBytes.size(), VoiceBytes, Seconds);
    std::printf("control, connect + compose + send + quit: median %.1f ms over %d rounds\n", median(ours) / 1000.0, Rounds);
    std::printf("curl --upload-file of the same bytes:    median %.1f ms over %d rounds\n", median(reference) / 1000.0, Rounds);
    std::printf("ratio control/curl: %.2f (target at most 1.3)\n", ratio);
    std::printf("longest gap of the 5 ms timer on the calling thread: %lld ms (target at most 30)\n", (long long)longestGap);
    return 0;
}
