#include "resources/product.h"
#include "resources/resource_ids.h"
#include "shell/frame_client.h"
#include "shell/log_dialog.h"
#include "shell/main_frame.h"

#include <QAction>
#include <QDesktopServices>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolBar>
#include <QUrl>

namespace {

// Records the commands that reach the view, which handles the ids it is given.
class RecordingClient : public FrameClient
{
public:
    QList<int> handledIds;
    QList<int> received;
    bool allowClose = true;
    int closeRequests = 0;

    bool OnCommand(int id) override
    {
        received << id;
        return handledIds.contains(id);
    }
    std::optional<bool> commandEnabled(int id) const override
    {
        if (id == Ids::CmdConnect)
            return false;
        return std::nullopt;
    }
    bool closeRequested() override
    {
        ++closeRequests;
        return allowClose;
    }
};

// Collects the URLs the frame asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

QStringList captions(QMenu *menu)
{
    QStringList result;
    for (QAction *action : menu->actions())
        result << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return result;
}

}  // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void windowHasTitleSizeAndNoMaximiseBox();
    void menusHaveTheirCaptionsAndCommands();
    void acceleratorsReachTheirCommands();
    void toolbarAndPrompts();
    void commandsGoToTheViewFirst();
    void trayIconAndMenu();
    void hideWithoutTrayMinimises();
    void helpPagesOpenInTheBrowser();
    void logWindowToggleAndClear();
    void closeAsksTheView();
    void statusBarPanes();
};

void MainFrameTest::windowHasTitleSizeAndNoMaximiseBox()
{
    CMainFrame frame;
    QCOMPARE(frame.windowTitle(), QString::fromLatin1(Product::MainWindowTitle));
    QVERIFY(frame.windowTitle().startsWith(QStringLiteral("Orvanto")));
    QVERIFY(frame.windowTitle().contains(QStringLiteral("(www.orvanto.example)")));
    QCOMPARE(frame.size(), QSize(520, 560));
    QVERIFY(!(frame.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(frame.windowFlags() & Qt::WindowMinimizeButtonHint);
}

void MainFrameTest::menusHaveTheirCaptionsAndCommands()
{
    CMainFrame frame;
    const QList<QAction *> tops = frame.menuBar()->actions();
    QStringList titles;
    for (QAction *top : tops)
        titles << top->text();
    QCOMPARE(titles, (QStringList{"&Email", "E&dit", "&View", "&Help"}));

    QCOMPARE(captions(tops[0]->menu()),
             (QStringList{"&New\tAlt+N", "&Attachment\tAlt+A", "&Send\tAlt+S", "-", "&Connect", "&Disconnect",
                          "Send &Test Email...", "-", "E&xit\tAlt+X"}));
    QCOMPARE(captions(tops[1]->menu()), (QStringList{"Undo\tCtrl+Z", "-", "Cut\tCtrl+X", "Copy\tCtrl+C",
                                                     "Paste\tCtrl+V", "-", "Select All\tCtrl+A"}));
    QCOMPARE(captions(tops[2]->menu()),
             (QStringList{"&Settings", "-", "&Toolbar", "&Status Bar", "&Log Window", "&Clear Log", "&Trace Info",
                          "-", "&Sent Messages", "&History", "&Address Book", "-", "&Hide"}));
    QCOMPARE(captions(tops[3]->menu()),
             (QStringList{"&Online Help", "&Tech Support", "&Orvanto Updates", "-", "&About Orvanto..."}));

    const QList<int> ids = {Ids::CmdNew,         Ids::CmdAttachment, Ids::CmdSend,      Ids::CmdConnect,
                            Ids::CmdDisconnect,  Ids::CmdTestMail,   Ids::CmdExit,      Ids::CmdUndo,
                            Ids::CmdCut,         Ids::CmdCopy,       Ids::CmdPaste,     Ids::CmdSelectAll,
                            Ids::CmdSettings,    Ids::CmdToolbar,    Ids::CmdStatusBar, Ids::CmdToggleLog,
                            Ids::CmdClearLog,    Ids::CmdTraceInfo,  Ids::CmdSentMessages, Ids::CmdHistory,
                            Ids::CmdAddressBook, Ids::CmdHide,       Ids::CmdOnlineHelp, Ids::CmdTechSupport,
                            Ids::CmdUpdates,     Ids::CmdAbout};
    QList<int> inMenus;
    for (QAction *top : tops)
        for (QAction *item : top->menu()->actions())
            if (!item->isSeparator())
                inMenus << item->data().toInt();
    QCOMPARE(inMenus, ids);
    // Commands 32773 and 32781 exist but have no menu item.
    QVERIFY(frame.action(Ids::CmdSaveSettings));
    QVERIFY(frame.action(Ids::CmdOutboxPath));
    QVERIFY(!inMenus.contains(Ids::CmdSaveSettings) && !inMenus.contains(Ids::CmdOutboxPath));
    QVERIFY(frame.action(Ids::CmdTraceInfo)->isCheckable());
    QVERIFY(!frame.action(Ids::CmdTraceInfo)->isChecked());
}

void MainFrameTest::acceleratorsReachTheirCommands()
{
    CMainFrame frame;
    RecordingClient client;
    frame.setClient(&client);
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    // Focus on a widget that handles no key itself, so every key reaches the table.
    frame.toolBar()->setFocus();
    const struct
    {
        QKeyCombination key;
        int id;
    } keys[] = {
        {Qt::CTRL | Qt::Key_A, Ids::CmdSelectAll},   {Qt::ALT | Qt::Key_A, Ids::CmdAttachment},
        {Qt::CTRL | Qt::Key_C, Ids::CmdCopy},        {Qt::CTRL | Qt::Key_N, Ids::CmdNew},
        {Qt::ALT | Qt::Key_N, Ids::CmdNew},          {Qt::CTRL | Qt::Key_O, Ids::CmdNew},
        {Qt::CTRL | Qt::Key_S, Ids::CmdSend},        {Qt::ALT | Qt::Key_S, Ids::CmdSend},
        {Qt::CTRL | Qt::Key_V, Ids::CmdPaste},       {Qt::ALT | Qt::Key_Backspace, Ids::CmdUndo},
        {Qt::SHIFT | Qt::Key_Delete, Ids::CmdCut},   {Qt::CTRL | Qt::Key_Insert, Ids::CmdCopy},
        {Qt::SHIFT | Qt::Key_Insert, Ids::CmdPaste}, {Qt::CTRL | Qt::Key_X, Ids::CmdCut},
        {Qt::CTRL | Qt::Key_Z, Ids::CmdUndo},        {Qt::ALT | Qt::Key_X, Ids::CmdExit},
    };
    client.handledIds = {Ids::CmdExit};  // keep the window open
    for (const auto &k : keys) {
        client.received.clear();
        QTest::keyClick(&frame, k.key.key(), k.key.keyboardModifiers());
        QCOMPARE(client.received, QList<int>{k.id});
    }
    // F6 and Shift+F6 move the focus between the form and the log window.
    client.received.clear();
    QTest::keyClick(&frame, Qt::Key_F6);
    QCOMPARE(client.received, QList<int>{Ids::CmdNextPane});
    QTRY_VERIFY(frame.logEdit()->hasFocus());
}

void MainFrameTest::toolbarAndPrompts()
{
    CMainFrame frame;
    QList<int> ids;
    for (QAction *action : frame.toolBar()->actions())
        ids << (action->isSeparator() ? 0 : action->data().toInt());
    QCOMPARE(ids, (QList<int>{Ids::CmdNew, 0, Ids::CmdSend, 0, Ids::CmdSettings, 0, Ids::CmdSentMessages, 0,
                              Ids::CmdOnlineHelp, 0, Ids::CmdHide}));
    for (QAction *action : frame.toolBar()->actions())
        if (!action->isSeparator())
            QVERIFY(!action->icon().isNull());
    QCOMPARE(frame.action(Ids::CmdHide)->statusTip(), QStringLiteral("Hide Orvanto"));
    QCOMPARE(frame.action(Ids::CmdHistory)->statusTip(), QStringLiteral("View Outgoing Recipients"));
    QCOMPARE(frame.action(Ids::CmdTechSupport)->statusTip(), QStringLiteral("Contact Orvanto Support Team"));
    QCOMPARE(frame.action(Ids::CmdRestore)->statusTip(), QStringLiteral("Restore Orvanto"));
    QCOMPARE(frame.action(Ids::CmdToggleLog)->statusTip(), QStringLiteral("Toggle log window"));
}

void MainFrameTest::commandsGoToTheViewFirst()
{
    CMainFrame frame;
    RecordingClient client;
    frame.setClient(&client);
    client.handledIds = {Ids::CmdClearLog};
    frame.logEdit()->setPlainText(QStringLiteral("kept"));
    frame.action(Ids::CmdClearLog)->trigger();
    QCOMPARE(client.received, QList<int>{Ids::CmdClearLog});
    QCOMPARE(frame.logEdit()->toPlainText(), QStringLiteral("kept"));  // the view took it

    client.handledIds.clear();
    frame.dispatch(Ids::CmdClearLog);
    QVERIFY(frame.logEdit()->toPlainText().isEmpty());

    frame.updateCommandUi();
    QVERIFY(!frame.action(Ids::CmdConnect)->isEnabled());
    QVERIFY(frame.action(Ids::CmdSend)->isEnabled());
}

void MainFrameTest::trayIconAndMenu()
{
    CMainFrame frame;
    QCOMPARE(frame.trayIcon()->toolTip(), QStringLiteral("Orvanto  3.0"));
    QVERIFY(!frame.trayIcon()->icon().isNull());
    QVERIFY(!frame.trayIcon()->isVisible());
    QCOMPARE(captions(frame.trayMenu()), (QStringList{"Orvanto 2.2", "-", "&Restore", "&Exit"}));
    QVERIFY(!frame.trayMenu()->actions().first()->isEnabled());
}

void MainFrameTest::hideWithoutTrayMinimises()
{
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.dispatch(Ids::CmdHide);
    QTRY_VERIFY(frame.windowState() & Qt::WindowMinimized);
    QVERIFY(!frame.trayIcon()->isVisible());
}

void MainFrameTest::helpPagesOpenInTheBrowser()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    CMainFrame frame;
    frame.dispatch(Ids::CmdOnlineHelp);
    frame.dispatch(Ids::CmdUpdates);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl(QStringLiteral("http://www.orvanto.example/orvanto.htm")),
                                        QUrl(QStringLiteral("http://www.orvanto.example/orvanto/index.html"))}));
}

void MainFrameTest::logWindowToggleAndClear()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QAction *toggle = frame.action(Ids::CmdToggleLog);
    QVERIFY(toggle->isChecked());
    QVERIFY(frame.logBar()->isVisible());
    QCOMPARE(frame.logBar()->windowTitle(), QStringLiteral("Log window"));
    QCOMPARE(frame.dockWidgetArea(frame.logBar()), Qt::BottomDockWidgetArea);
    toggle->trigger();  // from the menu
    QVERIFY(!toggle->isChecked());
    QVERIFY(!frame.logBar()->isVisible());
    frame.dispatch(Ids::CmdToggleLog);  // by id
    QVERIFY(toggle->isChecked());
    QVERIFY(frame.logBar()->isVisible());

    frame.action(Ids::CmdToolbar)->trigger();
    QVERIFY(!frame.toolBar()->isVisible());
    QVERIFY(!frame.action(Ids::CmdToolbar)->isChecked());
}

void MainFrameTest::closeAsksTheView()
{
    CMainFrame frame;
    RecordingClient client;
    frame.setClient(&client);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    client.allowClose = false;
    QVERIFY(!frame.close());
    QVERIFY(frame.isVisible());
    client.allowClose = true;
    frame.dispatch(Ids::CmdExit);
    QVERIFY(!frame.isVisible());
    QCOMPARE(client.closeRequests, 2);
}

void MainFrameTest::statusBarPanes()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    auto *prompt = frame.findChild<QLabel *>(QStringLiteral("promptPane"));
    QVERIFY(prompt);
    QCOMPARE(prompt->text(), QStringLiteral("Ready"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(frame.lockIndicator(i));
    QCOMPARE(frame.lockIndicator(0)->text(), QStringLiteral("CAP"));
    QCOMPARE(frame.lockIndicator(2)->text(), QStringLiteral("SCRL"));
    // Offscreen there is no keyboard state to show: the indicators stay grey.
    QVERIFY(!frame.lockIndicator(1)->isEnabled());
}

QTEST_MAIN(MainFrameTest)
#include "test_main_frame.moc"
