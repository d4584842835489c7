// The main frame: commands by id and key reach the view first, enable rules as a menu
// opens, tray, Hide, help pages; the docked log bar's layout, painting and clicks.

#include "resources/resource_ids.h"
#include "shell/frame_client.h"
#include "shell/log_bar.h"
#include "shell/log_dialog.h"
#include "shell/main_frame.h"
#include "shell/prompter.h"
#include "tests/support/url_catcher.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolBar>

namespace {

// Records the commands that reach the view, which handles the ids given, disables Connect.
class RecordingClient : public FrameClient
{
public:
    QList<int> handledIds, received;
    bool OnCommand(int id) override { return received << id, handledIds.contains(id); }
    std::optional<bool> commandEnabled(int id) const override { return id == Ids::CmdConnect ? false : std::optional<bool>(); }
    bool closeRequested() override { return true; }
};

// Where the log bar, its dialog and the form are; the last holds floating, visible and dock side.
QList<QRect> placeOf(CMainFrame &frame)
{
    CLogBar *bar = frame.dockingLogBar();
    return {bar->geometry(), bar->dialog()->geometry(), frame.centralWidget() ? frame.centralWidget()->geometry() : QRect(),
            QRect(bar->isFloating(), bar->isVisible(), frame.dockWidgetArea(bar), 0)};
}

}  // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void commandsReachTheViewFirst();
    void logBarDocksPaintsAndSwallowsClicks();
    void boxBeforeTheWindowIsCentredOnTheScreen();
};

void MainFrameTest::commandsReachTheViewFirst()
{
    CMainFrame frame;
    RecordingClient client;
    client.handledIds = {Ids::CmdExit, Ids::CmdClearLog};  // the window stays open, the log kept
    frame.setClient(&client);
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    // Keys reach their commands wherever the focus is; F6 moves it to the log window.
    frame.toolBar()->setFocus();
    for (const QKeyCombination key :
         {Qt::CTRL | Qt::Key_S, Qt::ALT | Qt::Key_X, Qt::SHIFT | Qt::Key_Insert, QKeyCombination(Qt::Key_F6)})
        QTest::keyClick(&frame, key.key(), key.keyboardModifiers());
    QCOMPARE(client.received, (QList<int>{Ids::CmdSend, Ids::CmdExit, Ids::CmdPaste, Ids::CmdNextPane}));
    QTRY_VERIFY(frame.logEdit()->hasFocus());

    // An edit field keeps its keys except Ctrl+A, whose command also copies.
    auto *field = new QLineEdit(QStringLiteral("text"));
    frame.setCentralWidget(field);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    client.received.clear();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(client.received, QList<int>{Ids::CmdSelectAll});

    // The view gets each command first; what it leaves, the frame handles.
    frame.logEdit()->setPlainText(QStringLiteral("kept"));
    frame.action(Ids::CmdClearLog)->trigger();
    QCOMPARE(frame.logEdit()->toPlainText(), QStringLiteral("kept"));
    client.handledIds.clear();
    frame.dispatch(Ids::CmdClearLog);
    QVERIFY(frame.logEdit()->toPlainText().isEmpty());
    // The view's enable rules are applied as a menu opens, not before.
    QMenu *email = frame.menuBar()->actions().first()->menu();
    QVERIFY(frame.action(Ids::CmdConnect)->isEnabled());
    email->popup(frame.mapToGlobal(QPoint(0, 0)));
    QVERIFY(!frame.action(Ids::CmdConnect)->isEnabled() && frame.action(Ids::CmdSend)->isEnabled());
    email->close();
    UrlCatcher catcher(QStringLiteral("http"));
    frame.dispatch(Ids::CmdOnlineHelp);
    frame.dispatch(Ids::CmdUpdates);
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl(QStringLiteral("http://www.orvanto.example/orvanto.htm")),
                                        QUrl(QStringLiteral("http://www.orvanto.example/orvanto/index.html"))}));

    // The tray icon waits for Hide; without a system tray, Hide minimises the window.
    QVERIFY(!frame.trayIcon()->icon().isNull() && !frame.trayIcon()->isVisible());
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    frame.dispatch(Ids::CmdHide);
    QTRY_VERIFY(frame.windowState() & Qt::WindowMinimized);
    QVERIFY(!frame.trayIcon()->isVisible());
}

void MainFrameTest::logBarDocksPaintsAndSwallowsClicks()
{
    const int dialogHeight = CLogDialog().height();
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CLogBar *bar = frame.dockingLogBar();
    const LogBarLayout lay = bar->layout();
    QWidget *face = bar->widget();
    QCOMPARE(frame.dockWidgetArea(bar), Qt::BottomDockWidgetArea);
    // The client area is as high as the log dialog, which fills it; the gripper is on the left.
    QCOMPARE(bar->height(), dialogHeight + 9);
    QCOMPARE(lay.client.height(), dialogHeight);
    QCOMPARE(lay.client.left(), 20);
    QCOMPARE(frame.logDialog()->geometry(), lay.client);
    // Docked at a side the parts turn: client, edge, gripper, close and maximise glyphs, gripper lines.
    const LogBarLayout left = LogBarLayout::forSide(Qt::LeftDockWidgetArea, QRect(0, 0, 200, 400));
    QCOMPARE((QList<QRect>{left.client, left.edge, left.gripper, left.closeGlyph, left.maximiseGlyph, left.gripLines[0],
                           left.gripLines[1]}),
             (QList<QRect>{{3, 20, 191, 377}, {194, 0, 6, 400}, {0, 0, 160, 20}, {179, 7, 11, 11}, {166, 7, 11, 11},
                           {10, 10, 152, 3}, {10, 14, 152, 3}}));

    // Two raised gripper lines (light, face, dark columns), the edge light above dark,
    // and a mark in each glyph.
    const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPalette pal = face->palette();
    const QRgb light = pal.color(QPalette::Light).rgb(), dark = pal.color(QPalette::Dark).rgb();
    const QRgb button = pal.color(QPalette::Button).rgb(), mark = pal.color(QPalette::ButtonText).rgb();
    for (const int x : {10, 14})
        QCOMPARE((QList<QRgb>{image.pixel(x, 60), image.pixel(x + 1, 60), image.pixel(x + 2, 60)}),
                 (QList<QRgb>{light, button, dark}));
    QCOMPARE((QList<QRgb>{image.pixel(5, 60), image.pixel(200, 0), image.pixel(200, 5)}),
             (QList<QRgb>{button, light, dark}));
    for (const QRect &glyph : {lay.closeGlyph, lay.maximiseGlyph}) {
        const QImage part = image.copy(glyph);
        const auto *pixels = reinterpret_cast<const QRgb *>(part.constBits());
        QVERIFY(std::count(pixels, pixels + part.width() * part.height(), mark) >= 6);
    }

    // Clicks and drags on the glyphs, gripper and edge change nothing.
    const QList<QRect> before = placeOf(frame);
    const std::pair<QPoint, CLogBar::Hit> targets[] = {{lay.closeGlyph.center(), CLogBar::Hit::CloseGlyph},
                                                       {lay.maximiseGlyph.center(), CLogBar::Hit::MaximiseGlyph},
                                                       {lay.gripper.center(), CLogBar::Hit::Gripper},
                                                       {lay.edge.center(), CLogBar::Hit::Edge}};
    for (const auto &[point, hit] : targets) {
        QCOMPARE(bar->hitTest(point), hit);
        QTest::mouseClick(face, Qt::LeftButton, {}, point);
        QTest::mouseDClick(face, Qt::LeftButton, {}, point);
        QTest::mousePress(face, Qt::LeftButton, {}, point);
        QTest::mouseMove(face, point + QPoint(30, -60));
        QTest::mouseRelease(face, Qt::LeftButton, {}, point + QPoint(30, -60));
        QApplication::processEvents();
        QCOMPARE(placeOf(frame), before);
    }
    // The sizing cursor over the edge only.
    QTest::mouseMove(face, lay.edge.center());
    QTRY_COMPARE(face->cursor().shape(), Qt::SizeVerCursor);
    QTest::mouseMove(face, lay.gripper.center());
    QTRY_COMPARE(face->cursor().shape(), Qt::ArrowCursor);

    // Toggle log window hides and shows it in its place, from the menu and by id.
    QAction *toggle = frame.action(Ids::CmdToggleLog);
    toggle->trigger();
    QVERIFY(!bar->isVisible() && !toggle->isChecked());
    frame.dispatch(Ids::CmdToggleLog);
    QVERIFY(bar->isVisible() && toggle->isChecked());
    QTRY_COMPARE(placeOf(frame), before);
    // The window's context menu hides the toolbar too; View > Toolbar follows.
    QAction *contextItem = frame.toolBar()->toggleViewAction();
    contextItem->trigger();
    QVERIFY(frame.toolBar()->isHidden() && !frame.action(Ids::CmdToolbar)->isChecked());
    contextItem->trigger();
    QVERIFY(!frame.toolBar()->isHidden() && frame.action(Ids::CmdToolbar)->isChecked());
}

void MainFrameTest::boxBeforeTheWindowIsCentredOnTheScreen()
{
    CMainFrame frame;  // not shown yet, as on a first run
    QRect shown;
    QTimer::singleShot(0, [&shown] {
        QWidget *box = QApplication::activeModalWidget();
        shown = box->frameGeometry();
        box->close();
    });
    WidgetPrompter().message(&frame, QStringLiteral("Not an e-mail address: Bob"));
    QVERIFY((shown.center() - frame.screen()->availableGeometry().center()).manhattanLength() <= 2);
}

QTEST_MAIN(MainFrameTest)
#include "test_main_frame.moc"
