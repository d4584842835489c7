#include "app/module_state.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/support/form_harness.h"

#include <QStatusBar>
#include <QTest>

// The displays are checked on the rendered status bar at the pane's geometry:
// L, T, R, B are the pane's edges, H half its width.
class StatusDisplaysTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void recordingBlinksRedAndCountsOncePerTwoTicks();
    void playbackWalksABlueCellAndWraps();
    void progressErasesTheYellowBarCellByCell();
    void otherTimerIdsChangeNothing();

private:
    QColor pixel(int x, int y);  // in pane coordinates
    void render() { m_image = m_harness->frame().statusBar()->grab().toImage(); }

    std::unique_ptr<FormHarness> m_harness;
    StatusPane *m_pane = nullptr;
    QImage m_image;
};

void StatusDisplaysTest::init()
{
    m_harness = std::make_unique<FormHarness>();
    m_harness->frame().show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_harness->frame()));
    m_pane = m_harness->frame().statusPane();
    QVERIFY(m_pane->width() > 100);
}

void StatusDisplaysTest::cleanup()
{
    m_harness.reset();
}

QColor StatusDisplaysTest::pixel(int x, int y)
{
    const QPoint at = m_pane->mapTo(m_harness->frame().statusBar(), QPoint(x, y));
    return m_image.pixelColor(at);
}

void StatusDisplaysTest::recordingBlinksRedAndCountsOncePerTwoTicks()
{
    CTalkpostView &view = m_harness->view();
    const int R = m_pane->width(), B = m_pane->height(), H = R / 2;
    const QColor red(255, 0, 0);
    g_recordSeconds = 74;
    g_paneAnimationReset = 1;

    // The blink phase runs on from earlier recordings, so find it from the first tick.
    view.OnTimer(Ids::TimerRecordingDisplay);
    render();
    const bool redFirst = pixel(H + 16, B / 2) == red;
    QCOMPARE(g_paneAnimationReset, 0);
    QCOMPARE(m_pane->text(), QStringLiteral("Recording: 01:14"));
    int reds = redFirst ? 1 : 0;
    for (int tick = 1; tick < 4; ++tick) {
        view.OnTimer(Ids::TimerRecordingDisplay);
        render();
        const bool isRed = pixel(H + 16, B / 2) == red;
        QCOMPARE(isRed, (tick % 2 == 0) == redFirst);
        reds += isRed;
        if (isRed) {
            // The bar spans from H + 15 to R - 2, rows 2 to B - 2.
            QCOMPARE(pixel(R - 3, 2), red);
            QCOMPARE(pixel(R - 3, B - 3), red);
            QVERIFY(pixel(H + 14, B / 2) != red);
            QVERIFY(pixel(R - 2, B / 2) != red);
            QVERIFY(pixel(H + 16, 1) != red);
            QVERIFY(pixel(H + 16, B - 2) != red);
        }
    }
    QCOMPARE(reds, 2);
    QCOMPARE(g_recordSeconds, 76);
    QCOMPARE(m_pane->text(), redFirst ? QStringLiteral("Recording: 01:16") : QStringLiteral("Recording: 01:15"));
}

void StatusDisplaysTest::playbackWalksABlueCellAndWraps()
{
    CTalkpostView &view = m_harness->view();
    const int R = m_pane->width(), B = m_pane->height(), H = R / 2;
    const QColor blue(0, 0, 255);
    const QColor face = m_pane->faceColor();
    g_paneAnimationReset = 1;

    view.OnTimer(Ids::TimerPlaybackDisplay);
    render();
    QCOMPARE(m_pane->text(), QStringLiteral("Playing: 00:00"));
    QCOMPARE(pixel(H + 1, B / 2), blue);
    QCOMPARE(pixel(H + 11, 2), blue);
    QVERIFY(pixel(H + 12, B / 2) != blue);

    view.OnTimer(Ids::TimerPlaybackDisplay);
    render();
    QCOMPARE(m_pane->text(), QStringLiteral("Playing: 00:01"));
    QCOMPARE(pixel(H + 13, B / 2), blue);
    QCOMPARE(pixel(H + 1, B / 2), face);

    // Walk to the right end: the cell returns to the middle while the seconds go on.
    const int cells = (R - 14 - H) / 12 + 1;
    for (int i = 2; i < cells; ++i)
        view.OnTimer(Ids::TimerPlaybackDisplay);
    view.OnTimer(Ids::TimerPlaybackDisplay);
    render();
    QCOMPARE(pixel(H + 1, B / 2), blue);
    QCOMPARE(m_pane->text(), QString::asprintf("Playing: 00:%02d", (cells + 1) / 2));
}

void StatusDisplaysTest::progressErasesTheYellowBarCellByCell()
{
    CTalkpostView &view = m_harness->view();
    const int R = m_pane->width(), B = m_pane->height(), H = R / 2;
    const QColor yellow(255, 255, 0);
    const QColor face = m_pane->faceColor();
    m_pane->setPaneText(QStringLiteral("Compressing"));
    g_paneAnimationReset = 1;

    view.OnTimer(Ids::TimerProgressDisplay);
    render();
    QCOMPARE(g_paneAnimationReset, 0);
    QCOMPARE(pixel(H + 5, B / 2), face);     // cell 0 erased at once
    QCOMPARE(pixel(H + 11, B / 2), yellow);  // the rest of the bar stands
    QCOMPARE(pixel(R - 3, B - 3), yellow);
    QCOMPARE(m_pane->text(), QStringLiteral("Compressing"));

    view.OnTimer(Ids::TimerProgressDisplay);
    view.OnTimer(Ids::TimerProgressDisplay);
    render();
    QCOMPARE(pixel(H + 25, B / 2), face);
    QCOMPARE(pixel(H + 31, B / 2), yellow);

    // A new start of the display repaints the whole bar.
    g_paneAnimationReset = 1;
    view.OnTimer(Ids::TimerProgressDisplay);
    render();
    QCOMPARE(pixel(H + 25, B / 2), yellow);

    // Erasing stops at the last position and keeps erasing that cell.
    for (int i = 0; i < R / 10 + 5; ++i)
        view.OnTimer(Ids::TimerProgressDisplay);
    render();
    int last = 0;
    while (H + 10 * last <= R - 22)
        ++last;
    QCOMPARE(pixel(H + 10 * last + 1, B / 2), face);
    QCOMPARE(pixel(H + 10 * last - 9, B / 2), face);
    QCOMPARE(pixel(H + 1, B / 2), face);
    if (H + 10 * last + 10 < R - 2)
        QCOMPARE(pixel(R - 3, B / 2), yellow);  // past the last cell the bar stays
}

void StatusDisplaysTest::otherTimerIdsChangeNothing()
{
    m_pane->setPaneText(QStringLiteral("Idle"));
    m_harness->view().OnTimer(4);
    m_harness->view().OnTimer(104);
    QCOMPARE(m_pane->text(), QStringLiteral("Idle"));
    QVERIFY(m_harness->log().isEmpty());
}

QTEST_MAIN(StatusDisplaysTest)
#include "test_status_displays.moc"
