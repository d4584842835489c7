#include "shell/main_frame.h"

#include "resources/art.h"
#include "resources/product.h"
#include "resources/resource_ids.h"
#include "shell/command_tables.h"
#include "shell/frame_client.h"
#include "shell/key_locks.h"
#include "shell/log_bar.h"
#include "shell/log_dialog.h"
#include "shell/status_pane.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

namespace {

constexpr int LargeIconDelayMs = 1000;

}  // namespace

CMainFrame::CMainFrame(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QString::fromLatin1(Product::MainWindowTitle));
    // The title bar and the task bar show the small sizes; the large ones (for window
    // switchers) take about a twentieth of the start to draw and to hand to the X
    // server, so they follow once the window is up.
    setWindowIcon(Art::trayIcon(Art::SmallIconSide));
    QTimer::singleShot(LargeIconDelayMs, this, [this] { setWindowIcon(Art::trayIcon()); });
    // A frame without a maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    resize(520, 560);
    setDockOptions(QMainWindow::AnimatedDocks);

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    createLogBar();
    createTray();

    qApp->installEventFilter(this);
    updateLockIndicators();
}

CMainFrame::~CMainFrame()
{
    // The toolbar reports its hiding while the widgets below this class are destroyed.
    qApp->removeEventFilter(this);
    disconnect(m_toolBar, nullptr, this, nullptr);
}

QAction *CMainFrame::makeAction(int id, const QString &text, bool checkable)
{
    auto *action = new QAction(text, this);
    action->setObjectName(QStringLiteral("cmd%1").arg(id));
    action->setData(id);
    action->setCheckable(checkable);
    const QString prompt = commandPrompt(id);
    action->setStatusTip(prompt);
    action->setToolTip(prompt.isEmpty() ? QString(text).remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0)
                                        : prompt);
    // Handlers set check marks themselves, so a command dispatched by id and one
    // chosen from a menu behave alike: undo the automatic toggle first.
    connect(action, &QAction::triggered, this, [this, id, action] {
        if (action->isCheckable()) {
            const QSignalBlocker blocker(action);
            action->setChecked(!action->isChecked());
        }
        dispatch(id);
    });
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::createActions()
{
    for (const MenuItemEntry &item : mainMenuItems())
        makeAction(item.id, item.caption, item.checkable);
    makeAction(Ids::CmdRestore, QStringLiteral("&Restore"), false);
    makeAction(Ids::CmdTrayTitle, QString::fromLatin1("Orvanto 2.2"), false)->setEnabled(false);
    for (const int id : {Ids::CmdNextPane, Ids::CmdPrevPane, Ids::CmdSaveSettings, Ids::CmdOutboxPath,
                         Ids::CmdCompressionType, Ids::CmdSourceFormat})
        makeAction(id, QString(), false);

    for (const int id : {Ids::CmdToolbar, Ids::CmdStatusBar, Ids::CmdToggleLog})
        m_actions.value(id)->setChecked(true);

    // Accelerators: every key of the table reaches its command, whatever has the focus
    // (see eventFilter for the one the edit fields would take).
    for (const AcceleratorEntry &entry : acceleratorTable()) {
        auto *shortcut = new QShortcut(entry.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = entry.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { dispatch(id); });
    }
}

void CMainFrame::createMenus()
{
    QMenu *menu = nullptr;
    for (const MenuItemEntry &item : mainMenuItems()) {
        if (!menu || menu->title() != item.menu) {
            menu = menuBar()->addMenu(item.menu);
            connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandUi);
        }
        menu->addAction(m_actions.value(item.id));
        if (item.separatorAfter)
            menu->addSeparator();
    }
}

void CMainFrame::createToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(16, 16));
    // The window's context menu can hide it too; View > Toolbar follows whatever did.
    connect(m_toolBar, &QToolBar::visibilityChanged, this, [this] {
        const QSignalBlocker blocker(m_actions.value(Ids::CmdToolbar));
        m_actions.value(Ids::CmdToolbar)->setChecked(!m_toolBar->isHidden());
    });
    for (const int id : toolbarItems()) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction *action = m_actions.value(id);
        action->setIcon(Art::commandIcon(id));
        action->setIconText(toolbarCaption(id));
        m_toolBar->addAction(action);
        if (auto *button = qobject_cast<QToolButton *>(m_toolBar->widgetForAction(action)))
            button->setAccessibleName(toolbarCaption(id));
    }
}

void CMainFrame::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    auto *ready = new QLabel(QStringLiteral("Ready"), bar);
    ready->setObjectName(QStringLiteral("promptPane"));
    ready->setMinimumWidth(100);
    bar->addWidget(ready, 1);
    m_statusPane = new StatusPane(bar);
    bar->addPermanentWidget(m_statusPane);
    const char *names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_lockIndicators[i] = new QLabel(QString::fromLatin1(names[i]), bar);
        m_lockIndicators[i]->setObjectName(QString::fromLatin1(names[i]));
        m_lockIndicators[i]->setFrameShape(QFrame::Panel);
        m_lockIndicators[i]->setFrameShadow(QFrame::Sunken);
        m_lockIndicators[i]->setEnabled(false);
        bar->addPermanentWidget(m_lockIndicators[i]);
    }
}

void CMainFrame::createLogBar()
{
    m_logDialog = new CLogDialog(this);
    m_logBar = new CLogBar(QStringLiteral("Log window"), m_logDialog, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_logBar);
}

void CMainFrame::createTray()
{
    m_tray = new QSystemTrayIcon(Art::trayIcon(), this);
    m_tray->setToolTip(QString::fromLatin1(Product::VersionedName));
    m_trayMenu = new QMenu(this);
    m_trayMenu->addAction(m_actions.value(Ids::CmdTrayTitle));
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_actions.value(Ids::CmdRestore));
    auto *exitAction = m_trayMenu->addAction(QStringLiteral("&Exit"));
    connect(exitAction, &QAction::triggered, this, [this] { dispatch(Ids::CmdExit); });
    m_trayClick = new QTimer(this);
    m_trayClick->setSingleShot(true);
    connect(m_trayClick, &QTimer::timeout, this, [this] { m_trayMenu->popup(QCursor::pos()); });
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { onTrayActivated(int(reason)); });
}

void CMainFrame::onTrayActivated(int reason)
{
    switch (QSystemTrayIcon::ActivationReason(reason)) {
    case QSystemTrayIcon::Trigger:
        // A menu opened at the first click of a double-click would take the second.
        hide();
        m_trayClick->start(QApplication::doubleClickInterval());
        break;
    case QSystemTrayIcon::Context:
        hide();
        m_trayMenu->popup(QCursor::pos());
        break;
    case QSystemTrayIcon::DoubleClick:
        m_trayClick->stop();
        OnRestore();
        break;
    default:
        hide();
        break;
    }
}

QDockWidget *CMainFrame::logBar() const
{
    return m_logBar;
}

QPlainTextEdit *CMainFrame::logEdit() const
{
    return m_logDialog->edit();
}

QLabel *CMainFrame::lockIndicator(int index) const
{
    return index >= 0 && index < 3 ? m_lockIndicators[index] : nullptr;
}

void CMainFrame::dispatch(int id)
{
    if (m_client && m_client->OnCommand(id))
        return;
    OnCommand(id);
}

bool CMainFrame::OnCommand(int id)
{
    switch (id) {
    case Ids::CmdToggleLog: OnToggleLogWindow(); return true;
    case Ids::CmdClearLog: OnClearLog(); return true;
    case Ids::CmdOnlineHelp: QDesktopServices::openUrl(QUrl(QString::fromLatin1(Product::HelpUrl))); return true;
    case Ids::CmdUpdates: QDesktopServices::openUrl(QUrl(QString::fromLatin1(Product::UpdatesUrl))); return true;
    case Ids::CmdRestore: OnRestore(); return true;
    case Ids::CmdHide: OnHide(); return true;
    case Ids::CmdTrayTitle: hide(); return true;
    case Ids::CmdExit: close(); return true;
    case Ids::CmdToolbar: toggleBar(id, m_toolBar); return true;
    case Ids::CmdStatusBar: toggleBar(id, statusBar()); return true;
    case Ids::CmdNextPane:
    case Ids::CmdPrevPane: moveFocusBetweenPanes(); return true;
    case Ids::CmdAbout: emit aboutRequested(); return true;
    default: return false;
    }
}

void CMainFrame::updateCommandUi()
{
    if (!m_client)
        return;
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        if (const std::optional<bool> enabled = m_client->commandEnabled(it.key()))
            it.value()->setEnabled(*enabled);
    }
}

void CMainFrame::updateLockIndicators()
{
    const KeyLock locks[3] = {KeyLock::Caps, KeyLock::Num, KeyLock::Scroll};
    for (int i = 0; i < 3; ++i)
        m_lockIndicators[i]->setEnabled(keyLockState(locks[i]).value_or(false));
}

void CMainFrame::moveFocusBetweenPanes()
{
    if (logEdit()->hasFocus()) {
        if (QWidget *view = centralWidget())
            view->setFocus(Qt::TabFocusReason);
    } else if (m_logBar->isVisible()) {
        logEdit()->setFocus(Qt::TabFocusReason);
    }
}

void CMainFrame::toggleBar(int id, QWidget *bar)
{
    QAction *toggle = m_actions.value(id);
    const bool show = !toggle->isChecked();
    toggle->setChecked(show);
    bar->setVisible(show);
}

void CMainFrame::OnToggleLogWindow()
{
    toggleBar(Ids::CmdToggleLog, m_logBar);
}

void CMainFrame::OnClearLog()
{
    logEdit()->clear();
}

void CMainFrame::OnHide()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // Without a tray the window could not be brought back; minimise it instead.
        showMinimized();
        return;
    }
    m_savedRect = geometry();
    const QRect screenRect = screen() ? screen()->geometry() : QRect(0, 0, 1024, 768);
    QRect r = frameGeometry();
    int left = r.left(), top = r.top(), right = r.right() + 1, bottom = r.bottom() + 1;
    const QSize frameExtra = r.size() - size();
    while (left < screenRect.right() + 1 && top < screenRect.bottom() + 1) {
        left += 20;
        top += 20;
        if (right < screenRect.right() + 1)
            right += 20;
        if (bottom < screenRect.bottom() + 1)
            bottom += 20;
        move(left, top);
        resize(QSize(right - left, bottom - top) - frameExtra);
        repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    hide();
    m_tray->show();
}

void CMainFrame::OnRestore()
{
    m_tray->hide();
    if (m_savedRect.isValid())
        setGeometry(m_savedRect);
    if (QScreen *s = screen()) {
        QRect centred = frameGeometry();
        centred.moveCenter(s->availableGeometry().center());
        move(centred.topLeft());
    }
    showNormal();
    raise();
    activateWindow();
}

bool CMainFrame::isHiddenInTray() const
{
    return !isVisible() && m_tray->isVisible();
}

void CMainFrame::raiseAndAlert()
{
    if (isHiddenInTray())
        OnRestore();
    else
        showNormal();
    raise();
    activateWindow();
    QApplication::alert(this);
}

void CMainFrame::notifyFromTray(const QString &text)
{
    if (isHiddenInTray())
        m_tray->showMessage(QString::fromLatin1(Product::VersionedName), text, QSystemTrayIcon::NoIcon);
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    // The lock indicators follow the keyboard: keys and coming back to the program
    // are the moments a lock can have changed.
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ApplicationActivate)
        updateLockIndicators();
    // A focused edit field takes Ctrl+A for its own Select All, which does not copy.
    // Refused the override, the key stays the accelerator, whose command selects and
    // copies. Only the fields of this window: dialogs keep their own Ctrl+A.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const auto *widget = qobject_cast<QWidget *>(watched);
        if (key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_A) && widget
            && widget->window() == this) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    if (m_client && !m_client->closeRequested()) {
        event->ignore();
        return;
    }
    m_tray->hide();
    event->accept();
    emit closed();
}
