// The status displays, checked on the rendered status bar at the pane's geometry.

#include "app/module_state.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/support/form_harness.h"

#include <QStatusBar>
#include <QTest>

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
        if (!tick(Ids::TimerRecordingDisplay, Qt::red).isEmpty())  // the blink phase runs on: start on its dark half
            tick(Ids::TimerRecordingDisplay, Qt::red);
        g_recordSeconds = 74;
        QCOMPARE(tick(Ids::TimerRecordingDisplay, Qt::red), QRect(QPoint(H + 15, 2), QPoint(R - 3, B - 3)));
        QVERIFY(tick(Ids::TimerRecordingDisplay, Qt::red).isEmpty() && g_recordSeconds == 75);
        QCOMPARE(m_pane->text(), QStringLiteral("Recording: 01:15"));
    }

    // A blue cell walks one cell a tick, the seconds once per two; past the end it starts again.
    void playbackWalksABlueCellAndWraps()
    {
        const auto cell = [this](int n) { return QRect(H + 12 * n, 2, 12, B - 4); };
        QCOMPARE(tick(Ids::TimerPlaybackDisplay, Qt::blue), cell(0));
        QCOMPARE(tick(Ids::TimerPlaybackDisplay, Qt::blue), cell(1));
        QCOMPARE(m_image.pixelColor(H + 1, B / 2), m_pane->faceColor());  // the cell left is erased
        const int cells = (R - 14 - H) / 12 + 1;
        QCOMPARE(tick(Ids::TimerPlaybackDisplay, Qt::blue, cells - 1), cell(0));
        QCOMPARE(m_pane->text(), QString::asprintf("Playing: 00:%02d", (cells + 1) / 2));
    }

    // Each tick erases one more cell from the left; a new start repaints the whole bar.
    void progressErasesTheYellowBarCellByCell()
    {
        const auto bar = [this](int erased) { return QRect(QPoint(H + 10 * erased, 2), QPoint(R - 3, B - 3)); };
        QCOMPARE(tick(Ids::TimerProgressDisplay, Qt::yellow), bar(1));
        QCOMPARE(tick(Ids::TimerProgressDisplay, Qt::yellow, 2), bar(3));
        g_paneAnimationReset = 1;
        QCOMPARE(tick(Ids::TimerProgressDisplay, Qt::yellow), bar(1));
    }

private:
    // Runs the display's timer and renders the bar; gives the box around the pane's pixels of this colour.
    QRect tick(int id, const QColor &colour, int ticks = 1)
    {
        for (int i = 0; i < ticks; ++i)
            m_harness->view().OnTimer(id);
        m_image = m_harness->frame().statusBar()->grab(m_pane->geometry()).toImage();
        QRect box;
        for (int y = 0; y < m_image.height(); ++y)
            for (int x = 0; x < m_image.width(); ++x)
                box |= m_image.pixelColor(x, y) == colour ? QRect(x, y, 1, 1) : QRect();
        return box;
    }

    std::unique_ptr<FormHarness> m_harness;
    StatusPane *m_pane = nullptr;
    QImage m_image;  // the pane as the rendered status bar shows it
    int R = 0, B = 0, H = 0;  // the pane's right and bottom edges, half its width
};

QTEST_MAIN(StatusDisplaysTest)
#include "test_status_displays.moc"
