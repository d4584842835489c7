// The docked log bar: its layout for each dock side, its place in the main frame,
// the painted gripper and edge, and clicks that change nothing.

#include "resources/resource_ids.h"
#include "shell/log_bar.h"
#include "shell/log_dialog.h"
#include "shell/main_frame.h"

#include <QAction>
#include <QImage>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

Q_DECLARE_METATYPE(Qt::DockWidgetArea)

namespace {

struct Snapshot
{
    QRect bar, dialog, central;
    bool floating, visible;
    Qt::DockWidgetArea area;
    bool operator==(const Snapshot &o) const
    {
        return bar == o.bar && dialog == o.dialog && central == o.central && floating == o.floating &&
               visible == o.visible && area == o.area;
    }
};

Snapshot snapshot(CMainFrame &frame)
{
    CLogBar *bar = frame.dockingLogBar();
    return {bar->geometry(), bar->dialog()->geometry(), frame.centralWidget() ? frame.centralWidget()->geometry() : QRect(),
            bar->isFloating(), bar->isVisible(), frame.dockWidgetArea(bar)};
}

}  // namespace

class LogBarTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutForEachSide_data();
    void layoutForEachSide();
    void frameDocksItAtTheBottom();
    void clicksOnGlyphsGripperAndEdgeChangeNothing();
    void edgeShowsTheSizingCursor();
    void gripperAndEdgeArePainted();
    void toggleLogWindowHidesAndShows();
    void dockedAtTheLeftKeepsItsWidth();
};

void LogBarTest::layoutForEachSide_data()
{
    QTest::addColumn<Qt::DockWidgetArea>("side");
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("client");
    QTest::addColumn<QRect>("edge");
    QTest::addColumn<QRect>("gripper");
    QTest::addColumn<QRect>("closeGlyph");
    QTest::addColumn<QRect>("maximiseGlyph");
    QTest::addColumn<QRect>("firstLine");
    QTest::addColumn<QRect>("secondLine");

    const QRect wide(0, 0, 500, 170);
    QTest::newRow("bottom") << Qt::BottomDockWidgetArea << wide << QRect(20, 6, 477, 161) << QRect(0, 0, 500, 6)
                            << QRect(0, 40, 20, 130) << QRect(7, 10, 12, 12) << QRect(7, 23, 12, 12)
                            << QRect(10, 38, 3, 122) << QRect(14, 38, 3, 122);
    QTest::newRow("top") << Qt::TopDockWidgetArea << wide << QRect(20, 3, 477, 161) << QRect(0, 164, 500, 6)
                         << QRect(0, 40, 20, 130) << QRect(7, 10, 12, 12) << QRect(7, 23, 12, 12)
                         << QRect(10, 38, 3, 122) << QRect(14, 38, 3, 122);
    const QRect tall(0, 0, 200, 400);
    QTest::newRow("left") << Qt::LeftDockWidgetArea << tall << QRect(3, 20, 191, 377) << QRect(194, 0, 6, 400)
                          << QRect(0, 0, 160, 20) << QRect(179, 7, 11, 11) << QRect(166, 7, 11, 11)
                          << QRect(10, 10, 152, 3) << QRect(10, 14, 152, 3);
    QTest::newRow("right") << Qt::RightDockWidgetArea << tall << QRect(6, 20, 191, 377) << QRect(0, 0, 6, 400)
                           << QRect(0, 0, 160, 20) << QRect(179, 7, 11, 11) << QRect(166, 7, 11, 11)
                           << QRect(10, 10, 152, 3) << QRect(10, 14, 152, 3);
}

void LogBarTest::layoutForEachSide()
{
    QFETCH(Qt::DockWidgetArea, side);
    QFETCH(QRect, window);
    const LogBarLayout lay = LogBarLayout::forSide(side, window);
    QTEST(lay.client, "client");
    QTEST(lay.edge, "edge");
    QTEST(lay.gripper, "gripper");
    QTEST(lay.closeGlyph, "closeGlyph");
    QTEST(lay.maximiseGlyph, "maximiseGlyph");
    QTEST(lay.gripLines[0], "firstLine");
    QTEST(lay.gripLines[1], "secondLine");
    // The border on the sizing edge's side is the one not kept.
    const Qt::Edge edgeSide = side == Qt::BottomDockWidgetArea ? Qt::TopEdge
                              : side == Qt::TopDockWidgetArea  ? Qt::BottomEdge
                              : side == Qt::LeftDockWidgetArea ? Qt::RightEdge
                                                               : Qt::LeftEdge;
    QVERIFY(!lay.borders.testFlag(edgeSide));
}

void LogBarTest::frameDocksItAtTheBottom()
{
    const int dialogHeight = CLogDialog().height();
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CLogBar *bar = frame.dockingLogBar();
    QCOMPARE(frame.logBar(), static_cast<QDockWidget *>(bar));
    QCOMPARE(bar->windowTitle(), QStringLiteral("Log window"));
    QCOMPARE(frame.dockWidgetArea(bar), Qt::BottomDockWidgetArea);
    QCOMPARE(bar->dockSide(), Qt::BottomDockWidgetArea);
    QCOMPARE(bar->dialog(), static_cast<QWidget *>(frame.logDialog()));
    QVERIFY(!bar->isFloating());
    QVERIFY(!bar->features().testFlag(QDockWidget::DockWidgetFloatable));
    QVERIFY(!bar->features().testFlag(QDockWidget::DockWidgetMovable));

    // Client height equals the log dialog's height; the dialog fills the client area.
    QCOMPARE(bar->dockedHeight(), dialogHeight + 9);
    QCOMPARE(bar->height(), dialogHeight + 9);
    const LogBarLayout lay = bar->layout();
    QCOMPARE(lay.client.height(), dialogHeight);
    QCOMPARE(bar->widget()->geometry(), bar->rect());
    QCOMPARE(frame.logDialog()->geometry(), lay.client);
    // The gripper strip on the left, the sizing edge on top, the bar above the status bar.
    QCOMPARE(lay.client.left(), 20);
    QCOMPARE(lay.edge, QRect(0, 0, bar->width(), 6));
    QVERIFY(bar->geometry().bottom() < frame.statusBar()->geometry().top());
    QVERIFY(frame.logEdit()->isVisible());
}

void LogBarTest::clicksOnGlyphsGripperAndEdgeChangeNothing()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CLogBar *bar = frame.dockingLogBar();
    const LogBarLayout lay = bar->layout();
    const Snapshot before = snapshot(frame);
    QWidget *face = bar->widget();

    const std::pair<QPoint, CLogBar::Hit> targets[] = {
        {lay.closeGlyph.center(), CLogBar::Hit::CloseGlyph},
        {lay.maximiseGlyph.center(), CLogBar::Hit::MaximiseGlyph},
        {lay.gripper.center(), CLogBar::Hit::Gripper},
        {lay.edge.center(), CLogBar::Hit::Edge},
    };
    for (const auto &[point, hit] : targets) {
        QCOMPARE(bar->hitTest(point), hit);
        QTest::mouseClick(face, Qt::LeftButton, {}, point);
        QTest::mouseDClick(face, Qt::LeftButton, {}, point);
        QTest::mouseClick(face, Qt::RightButton, {}, point);
        QApplication::processEvents();
        QVERIFY(snapshot(frame) == before);
    }
    // Dragging the edge or the gripper moves and sizes nothing either.
    for (const QPoint &start : {lay.edge.center(), lay.gripper.center()}) {
        QTest::mousePress(face, Qt::LeftButton, {}, start);
        QTest::mouseMove(face, start + QPoint(30, -60));
        QTest::mouseRelease(face, Qt::LeftButton, {}, start + QPoint(30, -60));
        QApplication::processEvents();
        QVERIFY(snapshot(frame) == before);
    }
    QCOMPARE(bar->hitTest(lay.client.center()), CLogBar::Hit::Client);
}

void LogBarTest::edgeShowsTheSizingCursor()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CLogBar *bar = frame.dockingLogBar();
    QWidget *face = bar->widget();
    QTest::mouseMove(face, bar->layout().edge.center());
    QTRY_COMPARE(face->cursor().shape(), Qt::SizeVerCursor);
    QTest::mouseMove(face, bar->layout().gripper.center());
    QTRY_COMPARE(face->cursor().shape(), Qt::ArrowCursor);
}

void LogBarTest::gripperAndEdgeArePainted()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CLogBar *bar = frame.dockingLogBar();
    const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPalette pal = bar->widget()->palette();
    const QRgb light = pal.color(QPalette::Light).rgb(), dark = pal.color(QPalette::Dark).rgb();
    const QRgb faceColour = pal.color(QPalette::Button).rgb();
    QVERIFY(light != dark);
    // Two raised 3-pixel lines: light left column, face between, dark right column.
    const int y = 60;
    for (const int x : {10, 14}) {
        QCOMPARE(image.pixel(x, y), light);
        QCOMPARE(image.pixel(x + 1, y), faceColour);
        QCOMPARE(image.pixel(x + 2, y), dark);
    }
    QCOMPARE(image.pixel(5, y), faceColour);
    // The edge along the top: light first row, dark last row.
    QCOMPARE(image.pixel(200, 0), light);
    QCOMPARE(image.pixel(200, 5), dark);
    // The glyphs carry a mark in the button text colour.
    const QRgb mark = pal.color(QPalette::ButtonText).rgb();
    for (const QRect &glyph : {bar->layout().closeGlyph, bar->layout().maximiseGlyph}) {
        int marks = 0;
        for (int gy = glyph.top(); gy <= glyph.bottom(); ++gy)
            for (int gx = glyph.left(); gx <= glyph.right(); ++gx)
                marks += image.pixel(gx, gy) == mark;
        QVERIFY(marks >= 6);
    }
}

void LogBarTest::toggleLogWindowHidesAndShows()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CLogBar *bar = frame.dockingLogBar();
    const int height = bar->height();
    QVERIFY(frame.action(Ids::CmdToggleLog)->isChecked());
    frame.dispatch(Ids::CmdToggleLog);
    QVERIFY(!bar->isVisible());
    QVERIFY(!frame.action(Ids::CmdToggleLog)->isChecked());
    frame.dispatch(Ids::CmdToggleLog);
    QVERIFY(bar->isVisible());
    QVERIFY(frame.action(Ids::CmdToggleLog)->isChecked());
    QCOMPARE(frame.dockWidgetArea(bar), Qt::BottomDockWidgetArea);
    QTRY_COMPARE(bar->height(), height);
}

void LogBarTest::dockedAtTheLeftKeepsItsWidth()
{
    CMainFrame frame;
    frame.resize(900, 600);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CLogBar *bar = frame.dockingLogBar();
    const int dialogWidth = bar->dockedWidth() - 9;
    frame.addDockWidget(Qt::LeftDockWidgetArea, bar);
    QTRY_COMPARE(bar->dockSide(), Qt::LeftDockWidgetArea);
    QTRY_COMPARE(bar->width(), dialogWidth + 9);
    const LogBarLayout lay = bar->layout();
    QCOMPARE(lay.gripper.top(), 0);
    QCOMPARE(lay.edge.left(), bar->width() - 6);
    QTRY_COMPARE(frame.logDialog()->geometry(), bar->layout().client);
}

QTEST_MAIN(LogBarTest)
#include "test_log_bar.moc"
