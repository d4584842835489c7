// The whole compression job on a 150-second recording against a bare loop that feeds
// the same samples to libgsm, measured in one run. Prints the ratio job/bare and the
// job's share of the recording's duration. Targets: ratio at most 1.15, share under 1%.

#include "audio/sample_width.h"
#include "compression/voice_compressor.h"
#include "tests/support/compression/speech_signal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gsm.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Seconds = 150;
constexpr int Samples = Seconds * 8000; // 2,400,000 bytes at 16 bits
constexpr int Rounds = 9;

// The reference: 8-bit samples widened and encoded in memory, nothing else.
qint64 bareLoop(const QByteArray &eightBit, QByteArray &out)
{
    QElapsedTimer timer;
    timer.start();
    gsm handle = gsm_create();
    int one = 1;
    gsm_option(handle, GSM_OPT_WAV49, &one);
    out.resize(eightBit.size() / 320 * 65);
    auto *dst = reinterpret_cast<gsm_byte *>(out.data());
    gsm_signal block[320];
    for (qsizetype at = 0; at + 320 <= eightBit.size(); at += 320, dst += 65) {
        for (int i = 0; i < 320; ++i)
            block[i] = gsm_signal((static_cast<unsigned char>(eightBit[at + i]) - 128) * 256);
        gsm_encode(handle, block, dst);
        gsm_encode(handle, block + 160, dst + 32);
    }
    gsm_destroy(handle);
    return timer.nsecsElapsed();
}

qint64 wholeJob(const QString &source, const QString &wave)
{
    QElapsedTimer timer;
    timer.start();
    CVoiceCompressor job;
    if (!job.SetSourceFile(source))
        return -1;
    job.SetCompressedFile(wave);
    if (!job.Compress())
        return -1;
    return timer.nsecsElapsed();
}

double median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return double(values[values.size() / 2]);
}

}  // namespace

int main()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("orv1039000000.pcm"));
    const QString wave = dir.filePath(QStringLiteral("orv1039000000.wav"));
    {
        QFile file(source);
        const QByteArray recording = CompressionTestSupport::speechLike16(Samples);
        if (!file.open(QIODevice::WriteOnly) || file.write(recording) != recording.size())
            return 1;
    }
    if (!NarrowTo8Bit(source))
        return 1;
    QByteArray eightBit;
    {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        eightBit = file.readAll();
    }

    std::vector<qint64> jobTimes, bareTimes;
    QByteArray bareOut;
    for (int round = 0; round < Rounds; ++round) {
        const qint64 job = wholeJob(source, wave);
        if (job < 0) {
            std::fprintf(stderr, "the job failed\n");
            return 1;
        }
        jobTimes.push_back(job);
        bareTimes.push_back(bareLoop(eightBit, bareOut));
    }
    QFile result(wave);
    if (!result.open(QIODevice::ReadOnly) || result.readAll().mid(60) != bareOut) {
        std::fprintf(stderr, "the job's blocks differ from the bare loop's\n");
        return 1;
    }

    const double job = median(jobTimes) / 1e9, bare = median(bareTimes) / 1e9;
    std::printf("recording: %d s, %d bytes at 16 bits, %lld bytes at 8 bits\n", Seconds, 2 * Samples,
                static_cast<long long>(eightBit.size()));
    std::printf("median of %d rounds: job %.1f ms, bare libgsm loop %.1f ms\n", Rounds, job * 1e3, bare * 1e3);
    std::printf("ratio job/bare: %.3f (target at most 1.15)\n", job / bare);
    std::printf("job share of real time: %.3f%% (target under 1%%)\n", job / Seconds * 100.0);
    return 0;
}
