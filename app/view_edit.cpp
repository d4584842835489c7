// Edit menu commands on the focused text box, and the desktop's address book.

#include "app/talkpost_view.h"

#include "resources/resource_ids.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace {

template <typename Edit>
void applyEditCommand(Edit *edit, int id)
{
    switch (id) {
    case Ids::CmdUndo: edit->undo(); break;
    case Ids::CmdCut: edit->cut(); break;
    case Ids::CmdCopy: edit->copy(); break;
    case Ids::CmdPaste: edit->paste(); break;
    case Ids::CmdSelectAll:
        // Select All also puts the whole text on the clipboard.
        edit->selectAll();
        edit->copy();
        break;
    default: break;
    }
}

}  // namespace

void CTalkpostView::OnEditCommand(int id)
{
    QWidget *focused = QApplication::focusWidget();
    if (auto *combo = qobject_cast<QComboBox *>(focused))
        focused = combo->lineEdit();
    if (auto *line = qobject_cast<QLineEdit *>(focused))
        applyEditCommand(line, id);
    else if (auto *text = qobject_cast<QPlainTextEdit *>(focused)) {
        applyEditCommand(text, id);
        if (id == Ids::CmdSelectAll)
            text->ensureCursorVisible();
    }
}

void CTalkpostView::OnAddressBook()
{
    // The first address book found on this desktop; nothing is reported otherwise.
    static const QList<QStringList> candidates = {
#if defined(Q_OS_WIN)
        {QStringLiteral("wab.exe")},
#endif
        {QStringLiteral("gnome-contacts")},
        {QStringLiteral("kaddressbook")},
        {QStringLiteral("evolution"), QStringLiteral("--component=contacts")},
        {QStringLiteral("thunderbird"), QStringLiteral("-addressbook")},
    };
    for (const QStringList &candidate : candidates) {
        const QString program = QStandardPaths::findExecutable(candidate.first());
        if (!program.isEmpty()) {
            QProcess::startDetached(program, candidate.mid(1));
            return;
        }
    }
}
