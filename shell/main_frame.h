#pragma once

#include <QMainWindow>
#include <QHash>
#include <QRect>

class CLogBar;
class CLogDialog;
class FrameClient;
class QDockWidget;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class StatusPane;

// The single top-level window: menus, toolbar, status bar with the status pane, the
// docked log window and the tray icon. Commands go to the hosted view first.
class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(QWidget *parent = nullptr);
    ~CMainFrame() override;

    void setClient(FrameClient *client) { m_client = client; }

    QAction *action(int id) const { return m_actions.value(id); }
    StatusPane *statusPane() const { return m_statusPane; }
    QPlainTextEdit *logEdit() const;
    CLogDialog *logDialog() const { return m_logDialog; }
    QDockWidget *logBar() const;
    CLogBar *dockingLogBar() const { return m_logBar; }
    QToolBar *toolBar() const { return m_toolBar; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    QMenu *trayMenu() const { return m_trayMenu; }
    QLabel *lockIndicator(int index) const;

    // Routes a command id: the view first, then the frame's own commands.
    void dispatch(int id);
    // Applies the view's enable rules to every action; the view calls it when its
    // state changes, the menus before they open.
    void updateCommandUi();
    // Brings the window back from the tray or the task bar and asks for attention.
    void raiseAndAlert();
    // A short notice from the tray icon, shown only while the window is in the tray.
    void notifyFromTray(const QString &text);
    bool isHiddenInTray() const;

    // The frame's own commands.
    bool OnCommand(int id);
    void OnHide();
    void OnRestore();
    void OnToggleLogWindow();
    void OnClearLog();

signals:
    void aboutRequested();
    // The window has closed for good (not merely hidden).
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Claims Ctrl+A from the edit fields, whose own Select All does not copy.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createLogBar();
    void createTray();
    void moveFocusBetweenPanes();
    void toggleBar(int id, QWidget *bar);
    void onTrayActivated(int reason);
    void updateLockIndicators();
    QAction *makeAction(int id, const QString &text, bool checkable);

    FrameClient *m_client = nullptr;
    QHash<int, QAction *> m_actions;
    QToolBar *m_toolBar = nullptr;
    StatusPane *m_statusPane = nullptr;
    QLabel *m_lockIndicators[3] = {nullptr, nullptr, nullptr};
    CLogDialog *m_logDialog = nullptr;
    CLogBar *m_logBar = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
    // A click on the tray icon opens the menu only once no second click has come.
    QTimer *m_trayClick = nullptr;
    QRect m_savedRect;
};
