// How long the UI thread stands still while a voice message goes out. The real form
// (CTalkpostView in a CMainFrame, shown offscreen) sends a 150-second recording
// through real servers on 127.0.0.1 (dovecot's POP3, aiosmtpd with STARTTLS and a
// login): the POP3 login, the outgoing connection, the narrowed copy, the GSM 6.10
// compression, the composition, the transfer, the sent record and the history. A 5 ms
// timer on the UI thread notes every tick; the figure is the longest gap between two
// ticks from the Send command to the first tick after "Email sent." (whose handler
// writes the record and the history). The same timer on the idle form, just before,
// is the reference: what the machine itself adds. Each round is a fresh form and
// program folder; the goal is a median longest gap of at most 30 ms.
//
//     bench_ui_stall [--rounds N]

#include "bench/bench_stats.h"
#include "resources/resource_ids.h"
#include "tests/support/form_harness.h"
#include "tests/support/mail/mail_servers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int DefaultRounds = 5;
constexpr int VoiceSeconds = 150;
constexpr int TickMs = 5;
constexpr int IdleMs = 3000;
constexpr double GoalMs = 30;

// Every process of the probe keeps its files to itself: the form's settings store
// and everything Qt keeps per user go into this folder.
void isolate(const QTemporaryDir &dir)
{
    constexpr QFileDevice::Permissions Owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    // The POP3 server's unprivileged mail user must reach its folders in TMPDIR.
    constexpr QFileDevice::Permissions Reachable = Owner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    QFile::setPermissions(dir.path(), Reachable);
    for (const char *name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "TMPDIR", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, std::strcmp(name, "TMPDIR") == 0 ? Reachable : Owner);
        qputenv(name, QFile::encodeName(path));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

// A raw 16-bit recording of a tone with a slow warble, as Stop leaves it.
bool writeRecording(const QString &path)
{
    QByteArray data(VoiceSeconds * 16000, '\0');
    for (int i = 0; i < VoiceSeconds * 8000; ++i) {
        const double t = i / 8000.0;
        qToLittleEndian(qint16(8000 * std::sin(2 * M_PI * (440 + 60 * std::sin(t)) * t)), data.data() + 2 * i);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// The UI thread's ticks, and the log lines with the time they were written.
struct Watch
{
    QElapsedTimer clock;
    std::vector<qint64> ticks;  // microseconds
    std::vector<std::pair<qint64, QString>> lines;

    qint64 now() const { return clock.nsecsElapsed() / 1000; }
};

struct Gap
{
    double ms = 0;
    qint64 from = 0, to = 0;
};

// The longest gap between ticks from `start` to the first tick after `end`.
Gap longestGap(const std::vector<qint64> &ticks, qint64 start, qint64 end)
{
    Gap longest;
    qint64 previous = start;
    for (const qint64 t : ticks) {
        if (t <= start)
            continue;
        if (double(t - previous) / 1000 > longest.ms)
            longest = {double(t - previous) / 1000, previous, t};
        previous = t;
        if (t > end)
            break;
    }
    return longest;
}

QString linesWithin(const Watch &w, const Gap &gap)
{
    QStringList found;
    for (const auto &[at, text] : w.lines)
        if (at >= gap.from && at <= gap.to)
            found << text;
    return found.isEmpty() ? QStringLiteral("(no log line)") : found.join(QStringLiteral(" | "));
}


struct Round
{
    bool ok = false;
    Gap sending, idle;
    QString culprit;
};

Round sendOnce(const MailTest::SmtpServer &smtp, const MailTest::Pop3Server &pop3)
{
    Round round;
    FormHarness h;
    CTalkpostView &view = h.view();
    const Account account{QStringLiteral("Ann"), pop3.host(), smtp.host(), MailProtocol::Esmtp,
                          QString::fromLatin1(MailTest::User), QString::fromLatin1(MailTest::Password),
                          QStringLiteral("ann@example.test"), -1, -1, true, true};
    h.useProfile(Profile(account, 1));
    h.frame().show();
    view.OnInitialUpdate();
    view.OnTimer(Ids::TimerStartupMessage);
    h.setField(Ids::RecipientCombo, QStringLiteral("bob@example.test"));
    h.setField(Ids::BodyEdit, QStringLiteral("Hello,\n\nlisten to this.\n\nAnn"));
    const QString recording = QDir(h.outbox()).filePath(QStringLiteral("orv1039000001.pcm"));
    if (!writeRecording(recording))
        return round;
    view.recorder().setRecordingFile(recording);
    view.EnableButton(Ids::PlayButton, true);  // as Stop leaves it

    Watch w;
    w.clock.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(TickMs);
    QObject::connect(&tick, &QTimer::timeout, [&w] { w.ticks.push_back(w.now()); });
    QTextDocument *log = h.frame().logEdit()->document();
    QObject::connect(log, &QTextDocument::contentsChanged, [&w, log] {
        const QString last = log->lastBlock().previous().text();
        if (w.lines.empty() || w.lines.back().second != last)
            w.lines.emplace_back(w.now(), last);
    });
    tick.start();
    QTest::qWait(IdleMs);
    const qint64 idleEnd = w.now();
    round.idle = longestGap(w.ticks, 0, idleEnd);

    qint64 sendAt = 0;
    QTimer::singleShot(0, &view, [&] {
        sendAt = w.now();
        view.OnCommand(Ids::CmdSend);
    });
    qint64 sentAt = -1;
    const bool sent = QTest::qWaitFor([&] {
        for (const auto &[at, text] : w.lines)
            if (at >= sendAt && text == QLatin1String("Email sent."))
                sentAt = at;
        return sentAt >= 0 && !w.ticks.empty() && w.ticks.back() > sentAt;
    }, 60000);
    if (!sent) {
        std::fprintf(stderr, "no \"Email sent.\"; the log:\n%s\n", qPrintable(h.log()));
        return round;
    }
    round.sending = longestGap(w.ticks, sendAt, sentAt);
    round.culprit = linesWithin(w, round.sending);
    // The connection closes before the form goes.
    round.ok = QTest::qWaitFor([&] { return view.delivery().state() == Delivery::State::Disconnected; }, 15000);
    return round;
}

// The offscreen platform says at every window that it cannot pass size hints on.
void quietOffscreen(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (!text.contains(QLatin1String("propagateSizeHints")))
        std::fprintf(stderr, "%s\n", qPrintable(text));
    if (type == QtFatalMsg)
        std::abort();
}

}  // namespace

int main(int argc, char **argv)
{
    int rounds = DefaultRounds;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    QTemporaryDir home;
    isolate(home);
    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    MailTest::TestCa ca;
    MailTest::SmtpServer smtp;
    MailTest::Pop3Server pop3;
    if (!ca.create(dir.path()) || !smtp.start(QStringLiteral("auth-tls"), &ca) || !pop3.start(ca)) {
        std::fprintf(stderr, "cannot start the mail servers: %s %s\n", qPrintable(ca.error), qPrintable(pop3.output()));
        return 1;
    }
    qputenv("ORVANTO_CA_FILE", ca.caFile.toUtf8());

    std::printf("%5s %12s %12s   %s\n", "round", "sending (ms)", "idle (ms)",
                "log lines written during the longest gap");
    std::vector<double> sending, idle;
    for (int r = 0; r < rounds; ++r) {
        const Round round = sendOnce(smtp, pop3);
        if (!round.ok)
            return 1;
        sending.push_back(round.sending.ms);
        idle.push_back(round.idle.ms);
        std::printf("%5d %12.1f %12.1f   %s\n", r + 1, round.sending.ms, round.idle.ms, qPrintable(round.culprit));
        std::fflush(stdout);
    }
    const double worst = *std::max_element(sending.begin(), sending.end());
    const bool met = BenchStats::median(sending) <= GoalMs;
    std::printf("longest gap of a %d ms UI timer from Send to \"Email sent.\" (%d s voice): "
                "median %.1f ms, worst %.1f ms;"
                " idle form %.1f ms\n",
                TickMs, VoiceSeconds, BenchStats::median(sending), worst, BenchStats::median(idle));
    std::printf("goal: median at most %.0f ms: %s\n", GoalMs, met ? "met" : "NOT met");
    return met ? 0 : 2;
}
