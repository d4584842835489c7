// Sending a voice message of 10, 60 and 150 seconds through the mail control (connect,
// compose, send, quit) against a plain in-process libcurl upload of the very bytes the
// control writes, to the same local SMTP server. Rounds alternate between the two (and
// which goes first); each size reports the median of the pair-by-pair ratios and their
// spread. Goal: at most 1.3 at every size. One control serves every round, as the form
// keeps one for its whole life; the reference makes its easy handle in each round, as the
// control does in each Connect.

#include "bench/bench_stats.h"
#include "mail/cmail.h"
#include "tests/support/mail/mail_servers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int Rounds = 41;
const QString From = QStringLiteral("ann@example.test");
const QString To = QStringLiteral("bob@example.test");

// GSM 6.10 in WAV: 65 bytes per 320 samples, 8000 samples a second, after a 60-byte header.
int voiceBytes(int seconds) { return 60 + seconds * 8000 / 320 * 65; }

bool waitForOutcome(CMail &mail)
{
    QEventLoop loop;
    bool ok = false;
    const auto done = QObject::connect(&mail, &CMail::Done, &loop, [&] { ok = true; loop.quit(); });
    const auto error = QObject::connect(&mail, &CMail::Error, &loop, [&](short code, const QString &text) {
        std::fprintf(stderr, "error %d: %s\n", code, qPrintable(text));
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(done);
    QObject::disconnect(error);
    return ok;
}

// The form's calls for a voice message: headers, the voice file, the text.
void compose(CMail &mail, const QString &voice)
{
    mail.SetAction(11);
    mail.SetDate(QStringLiteral("Saturday, December 06, 2025 07:39 PM"));
    mail.SetMessageId(QStringLiteral("2025126193901TAVEMAIL"));
    mail.SetFrom(QLatin1Char('<') + From + QLatin1Char('>'));
    mail.SetReplyTo(QLatin1Char('<') + From + QLatin1Char('>'));
    mail.SetTo(To);
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

// The control's side: microseconds for connect, compose, send and quit; 0 on failure.
qint64 sendThroughControl(CMail &mail, const QString &host, const QString &voice)
{
    QElapsedTimer clock;
    clock.start();
    mail.SetHostName(host);
    mail.SetProtocol(0);
    mail.SetTimeout(30);
    mail.SetBlocking(false);
    mail.Connect();
    if (!waitForOutcome(mail))
        return 0;
    mail.SetBlocking(true);
    compose(mail, voice);
    mail.SetBlocking(false);
    mail.SetAction(15);
    if (!waitForOutcome(mail))
        return 0;
    mail.Disconnect();
    if (!waitForOutcome(mail))
        return 0;
    return clock.nsecsElapsed() / 1000;
}

struct Upload
{
    const QByteArray *bytes;
    qint64 offset = 0;
};

size_t readUpload(char *buffer, size_t size, size_t count, void *user)
{
    auto *u = static_cast<Upload *>(user);
    const size_t n = size_t(std::min<qint64>(u->bytes->size() - u->offset, qint64(size * count)));
    std::memcpy(buffer, u->bytes->constData() + u->offset, n);
    u->offset += qint64(n);
    return n;
}

// The reference: one libcurl upload of the same bytes; microseconds, 0 on failure.
qint64 uploadWithCurl(const QString &host, const QByteArray &message)
{
    QElapsedTimer clock;
    clock.start();
    CURL *curl = curl_easy_init();
    if (!curl)
        return 0;
    const QByteArray url = QStringLiteral("smtp://%1/bench").arg(host).toUtf8();
    const QByteArray from = ('<' + From + '>').toUtf8();
    curl_slist *rcpt = curl_slist_append(nullptr, ('<' + To + '>').toUtf8().constData());
    Upload upload{&message};
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    const CURLcode rc = curl_easy_perform(curl);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);  // QUIT
    if (rc != CURLE_OK) {
        std::fprintf(stderr, "curl: %s\n", curl_easy_strerror(rc));
        return 0;
    }
    return clock.nsecsElapsed() / 1000;
}



}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    QTemporaryDir dir;
    MailTest::SmtpServer server;
    if (!dir.isValid() || !server.start(QStringLiteral("plain"))) {
        std::fprintf(stderr, "cannot start the SMTP server\n");
        return 1;
    }
    bool met = true;
    CMail mail;
    std::printf("%6s %9s %10s %10s %8s %14s\n", "voice", "bytes", "control", "libcurl", "ratio", "spread p10-p90");
    for (const int seconds : {10, 60, 150}) {
        QByteArray voice(voiceBytes(seconds), '\0');
        for (char &b : voice)
            b = char(QRandomGenerator::global()->bounded(256));
        const QString voicePath = dir.filePath(QStringLiteral("orv%1.wav").arg(seconds));
        QFile f(voicePath);
        if (!f.open(QIODevice::WriteOnly) || f.write(voice) != voice.size())
            return 1;
        f.close();
        // A first send warms both up and gives the reference the very bytes the control
        // wrote, as the server received them.
        if (sendThroughControl(mail, server.host(), voicePath) == 0 || !server.waitForMessages(1))
            return 1;
        QFile stored(server.messages().last());
        if (!stored.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray message = stored.readAll();
        if (uploadWithCurl(server.host(), message) == 0)
            return 1;

        std::vector<double> ours, reference, ratios;
        for (int round = 0; round < Rounds; ++round) {
            qint64 control = 0, curl = 0;
            if (round % 2 == 0) {
                control = sendThroughControl(mail, server.host(), voicePath);
                curl = uploadWithCurl(server.host(), message);
            } else {
                curl = uploadWithCurl(server.host(), message);
                control = sendThroughControl(mail, server.host(), voicePath);
            }
            if (control == 0 || curl == 0)
                return 1;
            ours.push_back(double(control));
            reference.push_back(double(curl));
            ratios.push_back(double(control) / double(curl));
        }
        const double ratio = BenchStats::median(ratios);
        met = met && ratio <= 1.3;
        std::printf("%5ds %9lld %8.2fms %8.2fms %8.2f %6.2f-%.2f\n", seconds, (long long)message.size(),
                    BenchStats::median(ours) / 1000, BenchStats::median(reference) / 1000, ratio, BenchStats::percentile(ratios, 0.1),
                    BenchStats::percentile(ratios, 0.9));
    }
    std::printf("ratio = median of %d pair-by-pair ratios control/libcurl; goal at most 1.3 at every size: %s\n",
                Rounds, met ? "met" : "NOT met");
    curl_global_cleanup();
    return met ? 0 : 2;
}
