#include "app/module_state.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/support/form_harness.h"

#include <QStatusBar>
#include <QTest>

// The displays are checked on the rendered status bar at the pane's geometry:
// R, B are the pane's right and bottom edges, H half its width.
class StatusDisplaysTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_harness = std::make_unique<FormHarness>();
        m_harness->frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_harness->frame()));
        m_pane = m_harness->frame().statusPane();
        R = m_pane->width(), B = m_pane->height(), H = R / 2;
        g_paneAnimationReset = 1;
    }

    void cleanup() { m_harness.reset(); }

    void recordingBlinksRedAndCountsOncePerTwoTicks()
    {
        const QColor red(255, 0, 0);
        g_recordSeconds = 74;
        tick(Ids::TimerRecordingDisplay);
        QCOMPARE(g_paneAnimationReset, 0);
        QCOMPARE(m_pane->text(), QStringLiteral("Recording: 01:14"));
        // The blink phase runs on from earlier recordings: go to its red half.
        if (pixel(H + 16, B / 2) != red)
            tick(Ids::TimerRecordingDisplay);
        const int seconds = g_recordSeconds;
        // The bar spans from H + 15 to R - 2, rows 2 to B - 2.
        QVERIFY(pixel(H + 16, B / 2) == red && pixel(R - 3, 2) == red && pixel(R - 3, B - 3) == red);
        QVERIFY(pixel(H + 14, B / 2) != red && pixel(R - 2, B / 2) != red && pixel(H + 16, 1) != red &&
                pixel(H + 16, B - 2) != red);
        tick(Ids::TimerRecordingDisplay);
        QVERIFY(pixel(H + 16, B / 2) != red && g_recordSeconds == seconds);
        tick(Ids::TimerRecordingDisplay);
        QVERIFY(pixel(H + 16, B / 2) == red && g_recordSeconds == seconds + 1);
        QCOMPARE(m_pane->text(), QString::asprintf("Recording: 01:%02d", seconds - 60));
    }

    void playbackWalksABlueCellAndWraps()
    {
        const QColor blue(0, 0, 255);
        tick(Ids::TimerPlaybackDisplay);
        QCOMPARE(m_pane->text(), QStringLiteral("Playing: 00:00"));
        QVERIFY(pixel(H + 1, B / 2) == blue && pixel(H + 11, 2) == blue);
        QVERIFY(pixel(H + 12, B / 2) != blue);

        tick(Ids::TimerPlaybackDisplay);
        QCOMPARE(m_pane->text(), QStringLiteral("Playing: 00:01"));
        QCOMPARE(pixel(H + 13, B / 2), blue);
        QCOMPARE(pixel(H + 1, B / 2), m_pane->faceColor());

        // Past the right end the cell returns to the middle while the seconds go on.
        const int cells = (R - 14 - H) / 12 + 1;
        tick(Ids::TimerPlaybackDisplay, cells - 1);
        QCOMPARE(pixel(H + 1, B / 2), blue);
        QCOMPARE(m_pane->text(), QString::asprintf("Playing: 00:%02d", (cells + 1) / 2));
    }

    void progressErasesTheYellowBarCellByCell()
    {
        const QColor yellow(255, 255, 0), face = m_pane->faceColor();
        tick(Ids::TimerProgressDisplay);
        QCOMPARE(pixel(H + 5, B / 2), face);  // cell 0 erased at once, the rest of the bar stands
        QVERIFY(pixel(H + 11, B / 2) == yellow && pixel(R - 3, B - 3) == yellow);

        tick(Ids::TimerProgressDisplay, 2);
        QVERIFY(pixel(H + 25, B / 2) == face && pixel(H + 31, B / 2) == yellow);
        // A new start of the display repaints the whole bar.
        g_paneAnimationReset = 1;
        tick(Ids::TimerProgressDisplay);
        QCOMPARE(pixel(H + 25, B / 2), yellow);
    }

private:
    // Runs the display's timer `ticks` times, then renders the status bar.
    void tick(int id, int ticks = 1)
    {
        for (int i = 0; i < ticks; ++i)
            m_harness->view().OnTimer(id);
        m_image = m_harness->frame().statusBar()->grab().toImage();
    }

    QColor pixel(int x, int y) const  // in pane coordinates
    {
        return m_image.pixelColor(m_pane->mapTo(m_harness->frame().statusBar(), QPoint(x, y)));
    }

    std::unique_ptr<FormHarness> m_harness;
    StatusPane *m_pane = nullptr;
    QImage m_image;
    int R = 0, B = 0, H = 0;
};

QTEST_MAIN(StatusDisplaysTest)
#include "test_status_displays.moc"
