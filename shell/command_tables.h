#pragma once

#include <QKeySequence>
#include <QString>
#include <vector>

// The frame's menus, accelerators, toolbar and prompts as data.

struct MenuItemEntry
{
    QString menu;         // caption of the pop-up the item belongs to
    QString caption;      // caption, with the shortcut text after a TAB where there is one
    int id;               // command id
    bool separatorAfter;  // a separator follows the item
    bool checkable;
};

struct AcceleratorEntry
{
    QKeySequence keys;
    int id;
};

const std::vector<MenuItemEntry> &mainMenuItems();
const std::vector<AcceleratorEntry> &acceleratorTable();
// Toolbar command ids in order; 0 stands for a separator.
const std::vector<int> &toolbarItems();
// Caption of a toolbar button.
QString toolbarCaption(int id);
// The status-bar prompt of a command (also its tool tip), empty when it has none.
QString commandPrompt(int id);
