// Edit menu commands on the focused text box, and the desktop's address book.

#include "app/talkpost_view.h"

#include "resources/resource_ids.h"
#include "shell/address_book.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

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
    // Nothing is reported when the desktop has no address book.
    OpenAddressBook();
}
