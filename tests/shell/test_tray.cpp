#include "resources/resource_ids.h"
#include "shell/main_frame.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

// Runs on a real X display with a tray (see with-tray-display.sh).
class TrayTest : public QObject
{
    Q_OBJECT

private slots:
    // Hide slides the window into the tray; Restore, or a double-click on the icon, brings it
    // back centred; a single click opens the icon's menu.
    void hideIntoTheTrayAndBack()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.move(30, 40);
        QTRY_COMPARE(frame.pos(), QPoint(30, 40));
        const QSize before = frame.size();
        frame.dispatch(Ids::CmdHide);
        QVERIFY(!frame.isVisible() && frame.trayIcon()->isVisible() && frame.isHiddenInTray());
        frame.dispatch(Ids::CmdRestore);
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(!frame.trayIcon()->isVisible());
        QCOMPARE(frame.size(), before);
        const QPoint centre = frame.screen()->availableGeometry().center();
        QTRY_VERIFY(qAbs(frame.frameGeometry().center().x() - centre.x()) <= 2);
        QVERIFY(qAbs(frame.frameGeometry().center().y() - centre.y()) <= 2);

        // A double-click comes as a click, then the double-click: no menu may take the second.
        frame.dispatch(Ids::CmdHide);
        QSystemTrayIcon *tray = frame.trayIcon();
        QSignalSpy menuShown(frame.trayMenu(), &QMenu::aboutToShow);
        emit tray->activated(QSystemTrayIcon::Trigger);
        emit tray->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QTest::qWait(2 * QApplication::doubleClickInterval());
        QVERIFY(menuShown.isEmpty() && !tray->isVisible());
        frame.dispatch(Ids::CmdHide);
        emit tray->activated(QSystemTrayIcon::Trigger);
        QTRY_COMPARE(menuShown.count(), 1);
        frame.trayMenu()->close();
    }
};

QTEST_MAIN(TrayTest)
#include "test_tray.moc"
