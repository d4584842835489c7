// The main frame: menus, accelerators and toolbar against the command ids, commands
// by id, the tray and help pages; and the docked log bar's layout, painting and clicks.

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
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolBar>
#include <QUrl>

namespace {

// Records the commands that reach the view, which handles the ids it is given.
class RecordingClient : public FrameClient
{
public:
    QList<int> handledIds, received;
    bool OnCommand(int id) override
    {
        received << id;
        return handledIds.contains(id);
    }
    std::optional<bool> commandEnabled(int id) const override { return id == Ids::CmdConnect ? false : std::optional<bool>(); }
    bool closeRequested() override { return true; }
};

QStringList captions(const QList<QAction *> &actions)
{
    QStringList result;
    for (QAction *action : actions)
        result << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return result;
}

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
    void menusToolbarAndTray();
    void keysAndCommandsReachTheView();
    void logBarDocksPaintsAndSwallowsClicks();
    void boxBeforeTheWindowIsCentredOnTheScreen();
};

void MainFrameTest::menusToolbarAndTray()
{
    CMainFrame frame;
    const QList<QAction *> tops = frame.menuBar()->actions();
    QCOMPARE(captions(tops), (QStringList{"&Email", "E&dit", "&View", "&Help"}));
    QCOMPARE(captions(tops[0]->menu()->actions()),
             (QStringList{"&New\tAlt+N", "&Attachment\tAlt+A", "&Send\tAlt+S", "-", "&Connect", "&Disconnect",
                          "Send &Test Email...", "-", "E&xit\tAlt+X"}));
    QCOMPARE(captions(tops[1]->menu()->actions()), (QStringList{"Undo\tCtrl+Z", "-", "Cut\tCtrl+X", "Copy\tCtrl+C",
                                                                "Paste\tCtrl+V", "-", "Select All\tCtrl+A"}));
    QCOMPARE(captions(tops[2]->menu()->actions()),
             (QStringList{"&Settings", "-", "&Toolbar", "&Status Bar", "&Log Window", "&Clear Log", "&Trace Info",
                          "-", "&Sent Messages", "&History", "&Address Book", "-", "&Hide"}));
    QCOMPARE(captions(tops[3]->menu()->actions()),
             (QStringList{"&Online Help", "&Tech Support", "&Orvanto Updates", "-", "&About Orvanto..."}));
    QCOMPARE(frame.trayIcon()->toolTip(), QStringLiteral("Orvanto  3.0"));
    QVERIFY(!frame.trayIcon()->icon().isNull() && !frame.trayIcon()->isVisible());
    QCOMPARE(captions(frame.trayMenu()->actions()), (QStringList{"Orvanto 2.2", "-", "&Restore", "&Exit"}));
    QVERIFY(!frame.trayMenu()->actions().first()->isEnabled());
    // Without a system tray, Hide minimises the window so it can be brought back.
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.dispatch(Ids::CmdHide);
    QTRY_VERIFY(frame.windowState() & Qt::WindowMinimized);
    QVERIFY(!frame.trayIcon()->isVisible());
}

void MainFrameTest::keysAndCommandsReachTheView()
{
    CMainFrame frame;
    RecordingClient client;
    client.handledIds = {Ids::CmdExit, Ids::CmdClearLog};  // the window stays open, the log kept
    frame.setClient(&client);
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    // Focus on a widget that handles no key itself, so every key reaches the table.
    frame.toolBar()->setFocus();
    const std::pair<QKeyCombination, int> keys[] = {
        {Qt::CTRL | Qt::Key_A, Ids::CmdSelectAll},   {Qt::ALT | Qt::Key_A, Ids::CmdAttachment},
        {Qt::CTRL | Qt::Key_C, Ids::CmdCopy},        {Qt::CTRL | Qt::Key_N, Ids::CmdNew},
        {Qt::ALT | Qt::Key_N, Ids::CmdNew},          {Qt::CTRL | Qt::Key_O, Ids::CmdNew},
        {Qt::CTRL | Qt::Key_S, Ids::CmdSend},        {Qt::ALT | Qt::Key_S, Ids::CmdSend},
        {Qt::CTRL | Qt::Key_V, Ids::CmdPaste},       {Qt::ALT | Qt::Key_Backspace, Ids::CmdUndo},
        {Qt::SHIFT | Qt::Key_Delete, Ids::CmdCut},   {Qt::CTRL | Qt::Key_Insert, Ids::CmdCopy},
        {Qt::SHIFT | Qt::Key_Insert, Ids::CmdPaste}, {Qt::CTRL | Qt::Key_X, Ids::CmdCut},
        {Qt::CTRL | Qt::Key_Z, Ids::CmdUndo},        {Qt::ALT | Qt::Key_X, Ids::CmdExit},
        {Qt::NoModifier | Qt::Key_F6, Ids::CmdNextPane}};
    for (const auto &[key, id] : keys) {
        client.received.clear();
        QTest::keyClick(&frame, key.key(), key.keyboardModifiers());
        QCOMPARE(client.received, QList<int>{id});
    }
    QTRY_VERIFY(frame.logEdit()->hasFocus());  // F6 moved it to the log window

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
    frame.updateCommandUi();
    QVERIFY(!frame.action(Ids::CmdConnect)->isEnabled() && frame.action(Ids::CmdSend)->isEnabled());
    QSignalSpy about(&frame, &CMainFrame::aboutRequested);
    frame.dispatch(Ids::CmdAbout);
    QCOMPARE(about.count(), 1);
    UrlCatcher catcher(QStringLiteral("http"));
    frame.dispatch(Ids::CmdOnlineHelp);
    frame.dispatch(Ids::CmdUpdates);
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl(QStringLiteral("http://www.orvanto.example/orvanto.htm")),
                                        QUrl(QStringLiteral("http://www.orvanto.example/orvanto/index.html"))}));
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
    QCOMPARE(bar->windowTitle(), QStringLiteral("Log window"));
    QCOMPARE(frame.dockWidgetArea(bar), Qt::BottomDockWidgetArea);
    QVERIFY(!bar->features().testFlag(QDockWidget::DockWidgetFloatable));
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
        QTest::mouseClick(face, Qt::RightButton, {}, point);
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
