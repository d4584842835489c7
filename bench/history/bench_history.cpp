// The form's To box filled from a history of 20,000 recipients, against the bare work
// of the same load: reading the file and giving the sorted list to a plain combo box.
// Rounds alternate; prints the median time of each side and the median of the
// pair-by-pair ratios. Target: the form's load well under half a second.

#include "bench/bench_stats.h"
#include "app/talkpost_view.h"
#include "records/recipient_history.h"
#include "shell/main_frame.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Entries = 20000;
constexpr int Rounds = 7;

template <typename Work>
double millisecondsOf(Work work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}


}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    QFile history(folder.filePath(QStringLiteral("history.txt")));
    if (!history.open(QIODevice::WriteOnly))
        return 1;
    // Names in no particular order, as a history grows.
    for (int i = 0; i < Entries; ++i)
        history.write(QStringLiteral("person%1@example%2.org\r\n").arg((i * 7919) % Entries).arg(i % 13).toUtf8());
    history.close();

    CMainFrame frame;
    CTalkpostView view({folder.path(), nullptr, nullptr, nullptr}, &frame);
    std::vector<double> form, bare, ratios;
    for (int round = 0; round < Rounds; ++round) {
        form.push_back(millisecondsOf([&] { view.LoadRecipientHistory(); }));
        bare.push_back(millisecondsOf([&] {
            QComboBox box;
            QStringList list = RecipientHistory(folder.path()).recipients();
            std::stable_sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
                return QString::compare(a, b, Qt::CaseInsensitive) < 0;
            });
            box.addItems(list);
        }));
        ratios.push_back(form.back() / bare.back());
    }
    std::printf("history of %d recipients into the To box: form %.1f ms, bare %.1f ms, ratio %.2f (target: form < 500 ms)\n",
                Entries, BenchStats::median(form), BenchStats::median(bare), BenchStats::median(ratios));
    return BenchStats::median(form) < 500 ? 0 : 1;
}
