#include "records/history_dialog.h"

#include "records/report_list.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Each row keeps its line's bytes, so a rewrite gives back unchanged lines exactly.
constexpr int BytesRole = Qt::UserRole;
}  // namespace

CHistoryDialog::CHistoryDialog(const QString &programFolder, Prompter *prompter, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_history(programFolder),
      m_prompter(prompter),
      m_list(makeReportList(this, {QStringLiteral("Recipient Address")}, {250}))
{
    setObjectName(QString::number(Ids::HistoryDialog));
    setWindowTitle(QStringLiteral("History"));
    m_list->setObjectName(QString::number(Ids::HistoryList));
    m_list->setAccessibleName(QStringLiteral("Recipient Address"));

    auto *clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QString::number(Ids::HistoryClearButton));
    auto *remove = new QPushButton(QStringLiteral("Delete"), this);
    remove->setObjectName(QString::number(Ids::HistoryDeleteButton));
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QString::number(Ids::ResultOk));
    close->setDefault(true);
    connect(clear, &QPushButton::clicked, this, &CHistoryDialog::OnClear);
    connect(remove, &QPushButton::clicked, this, &CHistoryDialog::OnDelete);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(clear);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    setTabOrder(m_list, clear);
    setTabOrder(clear, remove);
    setTabOrder(remove, close);

    resize(dialogUnitsToPixels(this, 196, 183));
    fillList();
}

void CHistoryDialog::fillList()
{
    m_list->setRowCount(0);
    for (const RecipientHistory::Entry &entry : m_history.entries()) {
        addReportRow(m_list, {entry.text});
        m_list->item(m_list->rowCount() - 1, 0)->setData(BytesRole, entry.bytes);
    }
}

void CHistoryDialog::OnClear()
{
    if (!m_prompter->ask(this, QStringLiteral("Do you want to clear the history list?")))
        return;
    m_list->setRowCount(0);
    const DurableFile::Result removed = m_history.remove();
    if (!removed.ok()) {
        m_prompter->message(this, QStringLiteral("Cannot clear the history: ") + removed.cause);
        fillList();
    }
}

void CHistoryDialog::OnDelete()
{
    // Asked even with nothing selected: Yes then rewrites the file as listed.
    if (!m_prompter->ask(this, QStringLiteral("Do you want to delete the selected entries?")))
        return;
    const QList<int> selected = selectedReportRows(m_list);
    for (auto it = selected.crbegin(); it != selected.crend(); ++it)
        m_list->removeRow(*it);
    QList<QByteArray> remaining;
    for (int row = 0; row < m_list->rowCount(); ++row)
        remaining << m_list->item(row, 0)->data(BytesRole).toByteArray();
    const DurableFile::Result written = m_history.rewrite(remaining);
    if (!written.ok()) {
        m_prompter->message(this, QStringLiteral("Cannot save the history: ") + written.cause);
        fillList();
    }
}
