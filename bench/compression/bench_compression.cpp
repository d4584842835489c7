// The compression road on a 150-second recording against bare codec loops over the
// same samples, in one run, rounds interleaved (the side that goes first alternates):
// - GSM 6.10 WAV: the recorder's narrowed copy of the 16-bit recording (copied, then
//   narrowed to 8 bits) and the whole job, against narrowing in memory and feeding libgsm;
// - MP3: the whole job on the recording, against feeding LAME with the same settings
//   and tags in memory.
// Prints the median of the pair-by-pair ratios road/bare, of the wall-clock time and of
// the thread's processor time (steadier while other work shares the machine); target
// at most 1.15 for both formats. Each side's output is checked to be the same bytes as
// the other's.

#include "bench/bench_stats.h"
#include "audio/recording_file.h"
#include "compression/mp3_encoder.h"
#include "compression/voice_compressor.h"
#include "tests/support/compression/speech_signal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gsm.h>
#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int Seconds = 150;
constexpr int Samples = Seconds * 8000; // 2,400,000 bytes at 16 bits
constexpr int GsmRounds = 31;
constexpr int Mp3Rounds = 11;
const VoiceTags Tags{QStringLiteral("Benchmark"), QDateTime(QDate(2024, 3, 15), QTime(9, 30))};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The narrowing and libgsm, on samples in memory.
QByteArray bareGsm(const std::vector<qint16> &samples)
{
    gsm handle = gsm_create();
    int one = 1;
    gsm_option(handle, GSM_OPT_WAV49, &one);
    QByteArray out(int(samples.size() / 320 * 65), '\0');
    auto *dst = reinterpret_cast<gsm_byte *>(out.data());
    gsm_signal block[320];
    for (size_t at = 0; at + 320 <= samples.size(); at += 320, dst += 65) {
        for (int i = 0; i < 320; ++i) // to 8 bits and back: the low byte goes
            block[i] = gsm_signal(samples[at + size_t(i)] & ~0xFF);
        gsm_encode(handle, block, dst);
        gsm_encode(handle, block + 160, dst + 32);
    }
    gsm_destroy(handle);
    return out;
}

// LAME with the job's settings, on samples in memory: ID3v2 tag, frames, LAME frame.
QByteArray bareLame(const std::vector<qint16> &samples)
{
    lame_t lame = lame_init();
    Mp3Encoder::configure(lame, Tags);

    // Room for one call's bytes at a time (LAME's bound: 1.25 n + 7200), as the job gives it.
    std::vector<unsigned char> out(size_t(lame_get_id3v2_tag(lame, nullptr, 0)));
    lame_get_id3v2_tag(lame, out.data(), out.size());
    const size_t firstFrame = out.size();
    std::vector<unsigned char> chunk(4096 * 5 / 4 + 7200);
    auto keep = [&](int made) { out.insert(out.end(), chunk.begin(), chunk.begin() + std::max(made, 0)); };
    for (size_t at = 0; at < samples.size(); at += 4096) {
        const int count = int(std::min<size_t>(4096, samples.size() - at));
        keep(lame_encode_buffer(lame, &samples[at], &samples[at], count, chunk.data(), int(chunk.size())));
    }
    keep(lame_encode_flush(lame, chunk.data(), int(chunk.size())));
    lame_get_lametag_frame(lame, out.data() + firstFrame, out.size() - firstFrame);
    lame_close(lame);
    return QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(out.size()));
}

// The road's GSM side: the recorder's narrowed copy, compressed; the copy goes.
bool roadGsm(const QString &recording, const QString &wave)
{
    const QString copy = RecordingFile::narrowedCopy(recording);
    CVoiceCompressor job;
    job.SetCompressedFile(wave);
    const bool done = !copy.isEmpty() && job.SetSourceFile(copy) && job.Compress();
    QFile::remove(copy);
    return done;
}

bool roadMp3(const QString &recording, const QString &mp3)
{
    CVoiceCompressor job;
    job.SetVoiceFormat(VoiceFormat::Mp3);
    job.SetVoiceTags(Tags);
    job.SetCompressedFile(mp3);
    return job.SetSourceFile(recording) && job.Compress();
}

struct Time
{
    double wall = -1, cpu = -1; // ms
};

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

Time timed(const std::function<bool()> &work)
{
    QElapsedTimer timer;
    timer.start();
    const double cpu = threadCpuMs();
    if (!work())
        return {};
    return {double(timer.nsecsElapsed()) / 1e6, threadCpuMs() - cpu};
}


// Rounds of the pair, each side going first in every other round; false on a failure.
bool compare(const char *name, int rounds, const std::function<bool()> &road, const std::function<bool()> &bare)
{
    std::vector<double> roadMs, bareMs, wallRatios, cpuRatios;
    for (int round = 0; round < rounds; ++round) {
        const bool roadFirst = round % 2 == 0;
        const Time first = timed(roadFirst ? road : bare), second = timed(roadFirst ? bare : road);
        if (first.wall < 0 || second.wall < 0)
            return false;
        const Time &r = roadFirst ? first : second, &b = roadFirst ? second : first;
        roadMs.push_back(r.wall);
        bareMs.push_back(b.wall);
        wallRatios.push_back(r.wall / b.wall);
        cpuRatios.push_back(r.cpu / b.cpu);
    }
    std::printf("%s, %d rounds: median road %.1f ms, bare %.1f ms; median of pair ratios road/bare: "
                "wall-clock %.3f, processor time %.3f (target at most 1.15)\n",
                name, rounds, BenchStats::median(roadMs), BenchStats::median(bareMs), BenchStats::median(wallRatios), BenchStats::median(cpuRatios));
    return true;
}

}  // namespace

int main()
{
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("orv1039000000.pcm"));
    const QString wave = VoiceFilePath(recording, VoiceFormat::Gsm610Wav);
    const QString mp3 = VoiceFilePath(recording, VoiceFormat::Mp3);
    const QByteArray raw = CompressionTestSupport::speechLike16(Samples);
    {
        QFile file(recording);
        if (!file.open(QIODevice::WriteOnly) || file.write(raw) != raw.size())
            return 1;
    }
    const std::vector<qint16> samples = CompressionTestSupport::samplesOf(raw, 2);
    std::printf("recording: %d s, %lld bytes at 16 bits\n", Seconds, static_cast<long long>(raw.size()));

    QByteArray gsmOut, lameOut;
    if (!compare("GSM 6.10 WAV (narrowed copy, job) against narrowing and libgsm", GsmRounds,
                 [&] { return roadGsm(recording, wave); }, [&] { return !(gsmOut = bareGsm(samples)).isEmpty(); }) ||
        !compare("MP3 (job) against LAME", Mp3Rounds, [&] { return roadMp3(recording, mp3); },
                 [&] { return !(lameOut = bareLame(samples)).isEmpty(); })) {
        std::fprintf(stderr, "a job failed\n");
        return 1;
    }
    if (readAll(wave).mid(60) != gsmOut || readAll(mp3) != lameOut) {
        std::fprintf(stderr, "a job's output differs from its bare loop's\n");
        return 1;
    }
    std::printf("MP3: %lld bytes, %.1f KB a minute (goal at most 125)\n", static_cast<long long>(lameOut.size()),
                double(lameOut.size()) / Seconds * 60 / 1000);
    return 0;
}
