#include "shell/command_tables.h"

#include "resources/resource_ids.h"

#include <QHash>

namespace {
const QString Email = QStringLiteral("&Email");
const QString Edit = QStringLiteral("E&dit");
const QString View = QStringLiteral("&View");
const QString Help = QStringLiteral("&Help");
}  // namespace

const std::vector<MenuItemEntry> &mainMenuItems()
{
    static const std::vector<MenuItemEntry> items = {
        {Email, QStringLiteral("&New\tAlt+N"), Ids::CmdNew, false, false},
        {Email, QStringLiteral("&Attachment\tAlt+A"), Ids::CmdAttachment, false, false},
        {Email, QStringLiteral("&Send\tAlt+S"), Ids::CmdSend, true, false},
        {Email, QStringLiteral("&Connect"), Ids::CmdConnect, false, false},
        {Email, QStringLiteral("&Disconnect"), Ids::CmdDisconnect, false, false},
        {Email, QStringLiteral("Send &Test Email..."), Ids::CmdTestMail, true, false},
        {Email, QStringLiteral("E&xit\tAlt+X"), Ids::CmdExit, false, false},
        {Edit, QStringLiteral("Undo\tCtrl+Z"), Ids::CmdUndo, true, false},
        {Edit, QStringLiteral("Cut\tCtrl+X"), Ids::CmdCut, false, false},
        {Edit, QStringLiteral("Copy\tCtrl+C"), Ids::CmdCopy, false, false},
        {Edit, QStringLiteral("Paste\tCtrl+V"), Ids::CmdPaste, true, false},
        {Edit, QStringLiteral("Select All\tCtrl+A"), Ids::CmdSelectAll, false, false},
        {View, QStringLiteral("&Settings"), Ids::CmdSettings, true, false},
        {View, QStringLiteral("&Toolbar"), Ids::CmdToolbar, false, true},
        {View, QStringLiteral("&Status Bar"), Ids::CmdStatusBar, false, true},
        {View, QStringLiteral("&Log Window"), Ids::CmdToggleLog, false, true},
        {View, QStringLiteral("&Clear Log"), Ids::CmdClearLog, false, false},
        {View, QStringLiteral("&Trace Info"), Ids::CmdTraceInfo, true, true},
        {View, QStringLiteral("&Sent Messages"), Ids::CmdSentMessages, false, false},
        {View, QStringLiteral("&History"), Ids::CmdHistory, false, false},
        {View, QStringLiteral("&Address Book"), Ids::CmdAddressBook, true, false},
        {View, QStringLiteral("&Hide"), Ids::CmdHide, false, false},
        {Help, QStringLiteral("&Online Help"), Ids::CmdOnlineHelp, false, false},
        {Help, QStringLiteral("&Tech Support"), Ids::CmdTechSupport, false, false},
        {Help, QStringLiteral("&Orvanto Updates"), Ids::CmdUpdates, true, false},
        {Help, QStringLiteral("&About Orvanto..."), Ids::CmdAbout, false, false},
    };
    return items;
}

const std::vector<AcceleratorEntry> &acceleratorTable()
{
    static const std::vector<AcceleratorEntry> table = {
        {QKeySequence(Qt::CTRL | Qt::Key_A), Ids::CmdSelectAll},
        {QKeySequence(Qt::ALT | Qt::Key_A), Ids::CmdAttachment},
        {QKeySequence(Qt::CTRL | Qt::Key_C), Ids::CmdCopy},
        {QKeySequence(Qt::CTRL | Qt::Key_N), Ids::CmdNew},
        {QKeySequence(Qt::ALT | Qt::Key_N), Ids::CmdNew},
        {QKeySequence(Qt::CTRL | Qt::Key_O), Ids::CmdNew},
        {QKeySequence(Qt::CTRL | Qt::Key_S), Ids::CmdSend},
        {QKeySequence(Qt::ALT | Qt::Key_S), Ids::CmdSend},
        {QKeySequence(Qt::CTRL | Qt::Key_V), Ids::CmdPaste},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), Ids::CmdUndo},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), Ids::CmdCut},
        {QKeySequence(Qt::Key_F6), Ids::CmdNextPane},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), Ids::CmdPrevPane},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), Ids::CmdCopy},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), Ids::CmdPaste},
        {QKeySequence(Qt::CTRL | Qt::Key_X), Ids::CmdCut},
        {QKeySequence(Qt::ALT | Qt::Key_X), Ids::CmdExit},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), Ids::CmdUndo},
    };
    return table;
}

const std::vector<int> &toolbarItems()
{
    static const std::vector<int> items = {Ids::CmdNew,          0, Ids::CmdSend,       0, Ids::CmdSettings, 0,
                                           Ids::CmdSentMessages, 0, Ids::CmdOnlineHelp, 0, Ids::CmdHide};
    return items;
}

QString toolbarCaption(int id)
{
    static const QHash<int, QString> captions = {
        {Ids::CmdNew, QStringLiteral("New")},
        {Ids::CmdSend, QStringLiteral("Send")},
        {Ids::CmdSettings, QStringLiteral("Settings")},
        {Ids::CmdSentMessages, QStringLiteral("Sent Messages")},
        {Ids::CmdOnlineHelp, QStringLiteral("Online Help")},
        {Ids::CmdHide, QStringLiteral("Hide")},
    };
    return captions.value(id);
}

QString commandPrompt(int id)
{
    static const QHash<int, QString> prompts = {
        {Ids::CmdToggleLog, QStringLiteral("Toggle log window")},
        {Ids::CmdClearLog, QStringLiteral("Clear log window")},
        {Ids::CmdOnlineHelp, QStringLiteral("Online Help")},
        {Ids::CmdRestore, QStringLiteral("Restore Orvanto")},
        {Ids::CmdHide, QStringLiteral("Hide Orvanto")},
        {Ids::CmdTechSupport, QStringLiteral("Contact Orvanto Support Team")},
        {Ids::CmdUpdates, QStringLiteral("Updates for Orvanto")},
        {Ids::CmdAddressBook, QStringLiteral("View Address Book")},
        {Ids::CmdHistory, QStringLiteral("View Outgoing Recipients")},
        {Ids::CmdSentMessages, QStringLiteral("Sent Messages")},
        {Ids::CmdTraceInfo, QStringLiteral("Trace Info")},
        {Ids::CmdOutboxPath, QStringLiteral("Set outbox path")},
        {Ids::CmdAttachment, QStringLiteral("Attach a file")},
        {Ids::CmdNew, QStringLiteral("Start a new voice message")},
        {Ids::CmdSend, QStringLiteral("Send the message")},
        {Ids::CmdSettings, QStringLiteral("Edit profiles and sound devices")},
        {Ids::CmdExit, QStringLiteral("Quit Orvanto")},
        {Ids::CmdUndo, QStringLiteral("Undo the last action")},
        {Ids::CmdCut, QStringLiteral("Cut the selection and put it on the Clipboard")},
        {Ids::CmdCopy, QStringLiteral("Copy the selection and put it on the Clipboard")},
        {Ids::CmdPaste, QStringLiteral("Insert Clipboard contents")},
        {Ids::CmdSelectAll, QStringLiteral("Select the entire text")},
        {Ids::CmdToolbar, QStringLiteral("Show or hide the toolbar")},
        {Ids::CmdStatusBar, QStringLiteral("Show or hide the status bar")},
        {Ids::CmdAbout, QStringLiteral("Display program information and version")},
        {Ids::CmdConnect, QStringLiteral("Connect to the mail server")},
        {Ids::CmdDisconnect, QStringLiteral("Disconnect from the mail server")},
        {Ids::CmdTestMail, QStringLiteral("Send a test email")},
    };
    return prompts.value(id);
}
