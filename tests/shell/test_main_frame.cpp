// The main frame: a box before the window, commands by id and key reach the view first, enable
// rules as a menu opens, tray, Hide, help pages; the docked log bar's place, glyphs and clicks.

#include "resources/art.h"
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

}  // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT

private slots:
    // One frame: a box before it is shown, its keys and commands, its log bar, Hide.
    void commandsLogBarAndHide()
    {
        const int dialogHeight = CLogDialog().height();
        CMainFrame frame;
        // A box shown before the window, as on a first run, is centred on the screen.
        QRect shown;
        QTimer::singleShot(0, [&shown] {
            shown = QApplication::activeModalWidget()->frameGeometry();
            QApplication::activeModalWidget()->close();
        });
        WidgetPrompter().message(&frame, QStringLiteral("Not an e-mail address: Bob"));
        QVERIFY((shown.center() - frame.screen()->availableGeometry().center()).manhattanLength() <= 2);

        // The window starts with the small icon sizes; the large ones follow on their own.
        const QList<QSize> firstSizes = frame.windowIcon().availableSizes();
        QVERIFY(!firstSizes.isEmpty() && firstSizes.last().width() <= Art::SmallIconSide);

        RecordingClient client;
        client.handledIds = {Ids::CmdExit, Ids::CmdClearLog};  // the window stays open, the log kept
        frame.setClient(&client);
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTRY_VERIFY(frame.windowIcon().availableSizes().contains(QSize(Art::LargestIconSide, Art::LargestIconSide)));
        // Keys reach their commands also from an edit field, which keeps its own keys (Shift+Insert,
        // Ctrl+C) except Ctrl+A, whose command also copies; F6 moves the focus to the log window.
        auto *field = new QLineEdit(QStringLiteral("text"));
        frame.setCentralWidget(field);
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        for (const QKeyCombination key : {Qt::CTRL | Qt::Key_S, Qt::ALT | Qt::Key_X, Qt::SHIFT | Qt::Key_Insert,
                                          Qt::CTRL | Qt::Key_A, Qt::CTRL | Qt::Key_C, QKeyCombination(Qt::Key_F6)})
            QTest::keyClick(field, key.key(), key.keyboardModifiers());
        QCOMPARE(client.received, (QList<int>{Ids::CmdSend, Ids::CmdExit, Ids::CmdSelectAll, Ids::CmdNextPane}));
        QTRY_VERIFY(frame.logEdit()->hasFocus());

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

        CLogBar *bar = frame.dockingLogBar();
        const LogBarLayout lay = bar->layout();
        QWidget *face = bar->widget();
        const auto place = [&] {
            return QList<QRect>{bar->geometry(), bar->dialog()->geometry(),
                                QRect(bar->isFloating(), bar->isVisible(), frame.dockWidgetArea(bar), 0)};
        };
        // The log bar at the bottom, as high as the log dialog, which fills it; the gripper on the left.
        QCOMPARE(frame.dockWidgetArea(bar), Qt::BottomDockWidgetArea);
        QCOMPARE((QList<int>{bar->height(), lay.client.height(), lay.client.left()}),
                 (QList<int>{dialogHeight + 9, dialogHeight, 20}));
        QCOMPARE(frame.logDialog()->geometry(), lay.client);
        const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb mark = face->palette().color(QPalette::ButtonText).rgb();  // in each glyph
        for (const QRect &glyph : {lay.closeGlyph, lay.maximiseGlyph}) {
            const QImage part = image.copy(glyph);
            const auto *bits = reinterpret_cast<const QRgb *>(part.constBits());
            QVERIFY(std::count(bits, bits + part.width() * part.height(), mark) >= 6);
        }

        // Clicks and drags on the glyphs, gripper and edge change nothing; the sizing cursor
        // shows over the edge only.
        const QList<QRect> before = place();
        const std::pair<QRect, Qt::CursorShape> targets[] = {{lay.closeGlyph, Qt::ArrowCursor},
            {lay.maximiseGlyph, Qt::ArrowCursor}, {lay.gripper, Qt::ArrowCursor}, {lay.edge, Qt::SizeVerCursor}};
        for (const auto &[rect, cursor] : targets) {
            const QPoint point = rect.center();
            QTest::mouseMove(face, point);
            QTRY_COMPARE(face->cursor().shape(), cursor);
            QTest::mouseDClick(face, Qt::LeftButton, {}, point);
            QTest::mousePress(face, Qt::LeftButton, {}, point);
            QTest::mouseMove(face, point + QPoint(30, -60));
            QTest::mouseRelease(face, Qt::LeftButton, {}, point + QPoint(30, -60));
            QApplication::processEvents();
            QCOMPARE(place(), before);
        }

        // Toggle log window hides and shows it in its place, from the menu and by id.
        QAction *toggle = frame.action(Ids::CmdToggleLog);
        toggle->trigger();
        QVERIFY(!bar->isVisible() && !toggle->isChecked());
        frame.dispatch(Ids::CmdToggleLog);
        QVERIFY(bar->isVisible() && toggle->isChecked());
        QTRY_COMPARE(place(), before);
        // The window's context menu hides the toolbar too; View > Toolbar follows.
        QAction *contextItem = frame.toolBar()->toggleViewAction();
        contextItem->trigger();
        QVERIFY(frame.toolBar()->isHidden() && !frame.action(Ids::CmdToolbar)->isChecked());
        contextItem->trigger();
        QVERIFY(!frame.toolBar()->isHidden() && frame.action(Ids::CmdToolbar)->isChecked());

        // Without a system tray, Hide minimises the window and shows no icon.
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable() && !frame.trayIcon()->icon().isNull());
        frame.dispatch(Ids::CmdHide);
        QTRY_VERIFY(frame.windowState() & Qt::WindowMinimized);
        QVERIFY(!frame.trayIcon()->isVisible());
    }
};

QTEST_MAIN(MainFrameTest)
#include "test_main_frame.moc"
