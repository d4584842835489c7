#include "records/history_dialog.h"

#include "records/report_list.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

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
    for (const QString &entry : m_history.entries())
        addReportRow(m_list, {entry});
}

void CHistoryDialog::OnClear()
{
    if (!m_prompter->ask(this, QStringLiteral("Do you want to clear the history list?")))
        return;
    m_list->setRowCount(0);
    m_history.remove();
}

void CHistoryDialog::OnDelete()
{
    // Asked even with nothing selected: Yes then rewrites the file as listed.
    if (!m_prompter->ask(this, QStringLiteral("Do you want to delete the selected entries?")))
        return;
    const QList<int> selected = selectedReportRows(m_list);
    for (auto it = selected.crbegin(); it != selected.crend(); ++it)
        m_list->removeRow(*it);
    QStringList remaining;
    for (int row = 0; row < m_list->rowCount(); ++row)
        remaining << m_list->item(row, 0)->text();
    m_history.rewrite(remaining);
}
