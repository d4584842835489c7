// Recipient history and sent-message records.

#include "app/talkpost_view.h"

#include "records/history_dialog.h"
#include "records/recipient_history.h"
#include "records/recorded_messages_dialog.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

#include <QComboBox>
#include <algorithm>

namespace {

bool before(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

// The To box keeps its list in case-insensitive alphabetical order, whatever order
// the items come in; equal items keep their arrival order.
void addSorted(QComboBox *box, const QString &text)
{
    int index = box->count();
    for (int i = 0; i < box->count(); ++i) {
        if (before(text, box->itemText(i))) {
            index = i;
            break;
        }
    }
    box->insertItem(index, text);
}

}  // namespace

void CTalkpostView::LoadRecipientHistory()
{
    // Only the list is rebuilt; what the user has typed in the To box stays.
    const QString typed = m_recipientCombo->currentText();
    m_recipientCombo->clear();
    // Sorted once and added at once: item by item a long history takes minutes.
    QStringList recipients = RecipientHistory(m_programFolder).recipients();
    std::stable_sort(recipients.begin(), recipients.end(), before);
    m_recipientCombo->addItems(recipients);
    m_recipientCombo->setCurrentIndex(-1);
    m_recipientCombo->setEditText(typed);
}

void CTalkpostView::AddRecipientToHistory(const QString &recipient)
{
    if (m_recipientCombo->findText(recipient, Qt::MatchFixedString) >= 0)
        return;
    const QString typed = m_recipientCombo->currentText();
    addSorted(m_recipientCombo, recipient);
    m_recipientCombo->setCurrentIndex(-1);
    m_recipientCombo->setEditText(typed);
    RecipientHistory(m_programFolder).append(recipient);
}

void CTalkpostView::OnHistory()
{
    CHistoryDialog dialog(m_programFolder, m_prompter, this);
    m_prompter->exec(dialog);
    LoadRecipientHistory();
}

void CTalkpostView::OnSentMessages()
{
    CRecordedMessagesDialog dialog(m_programFolder, m_prompter, this);
    if (m_prompter->exec(dialog) != Ids::ResultAttachFile || !mayListAttachment(dialog.chosenPath()))
        return;
    UpdateData(true);
    m_attachments += dialog.chosenPath() + QLatin1Char(',');
    UpdateData(false);
}
