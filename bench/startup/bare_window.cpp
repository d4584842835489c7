// The reference of bench_startup: a bare Qt main window with Orvanto's title, menus,
// toolbar, status bar and size, and nothing behind them. What it costs to start is what
// any Qt program pays to show such a window.

#include "resources/art.h"
#include "resources/product.h"
#include "shell/command_tables.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QString::fromLatin1(Product::MainWindowTitle));
    window.resize(520, 560);

    QHash<int, QAction *> actions;
    QMenu *menu = nullptr;
    for (const MenuItemEntry &item : mainMenuItems()) {
        if (!menu || menu->title() != item.menu)
            menu = window.menuBar()->addMenu(item.menu);
        QAction *action = menu->addAction(item.caption);
        action->setCheckable(item.checkable);
        action->setStatusTip(commandPrompt(item.id));
        actions.insert(item.id, action);
        if (item.separatorAfter)
            menu->addSeparator();
    }

    QToolBar *toolBar = window.addToolBar(QStringLiteral("Toolbar"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setIconSize(QSize(16, 16));
    for (const int id : toolbarItems()) {
        if (id == 0) {
            toolBar->addSeparator();
            continue;
        }
        QAction *action = actions.value(id);
        action->setIcon(Art::commandIcon(id));
        action->setIconText(toolbarCaption(id));
        toolBar->addAction(action);
    }

    QStatusBar *bar = window.statusBar();
    bar->addWidget(new QLabel(QStringLiteral("Ready"), bar), 1);
    for (const char *pane : {"Idle", "CAP", "NUM", "SCRL"})
        bar->addPermanentWidget(new QLabel(QString::fromLatin1(pane), bar));

    if (QScreen *screen = window.screen()) {
        QRect centred = window.frameGeometry();
        centred.moveCenter(screen->availableGeometry().center());
        window.move(centred.topLeft());
    }
    window.show();
    return app.exec();
}
