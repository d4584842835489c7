#include "records/recorded_messages_dialog.h"

#include "records/report_list.h"
#include "records/sent_records.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int FileColumn = 0;

}  // namespace

CRecordedMessagesDialog::CRecordedMessagesDialog(const QString &programFolder, Prompter *prompter, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_outboxFolder(SentMessages::OutboxFolder(programFolder)),
      m_prompter(prompter),
      m_list(makeReportList(this, {QStringLiteral("File"), QStringLiteral("Sent To"), QStringLiteral("Date")},
                            {120, 145, 120}))
{
    setObjectName(QString::number(Ids::RecordedMessagesDialog));
    setWindowTitle(QStringLiteral("Recorded Messages"));
    m_list->setObjectName(QString::number(Ids::RecordsList));
    m_list->setAccessibleName(QStringLiteral("Recorded Messages"));

    const std::pair<const char *, int> captions[] = {
        {"Play File", Ids::RecordsPlayButton},
        {"Attach File", Ids::RecordsAttachButton},
        {"Del File(s)", Ids::RecordsDeleteButton},
    };
    auto *buttons = new QHBoxLayout;
    QList<QPushButton *> order;
    for (const auto &[caption, id] : captions) {
        auto *button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::number(id));
        button->setAutoDefault(false);
        buttons->addWidget(button);
        order << button;
    }
    connect(order[0], &QPushButton::clicked, this, &CRecordedMessagesDialog::OnPlayFile);
    connect(order[1], &QPushButton::clicked, this, &CRecordedMessagesDialog::OnAttachFile);
    connect(order[2], &QPushButton::clicked, this, &CRecordedMessagesDialog::OnDeleteFiles);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QString::number(Ids::ResultOk));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, [this] { done(Ids::ResultOk); });
    buttons->addStretch(1);
    buttons->addWidget(close);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { OnPlayFile(); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    QWidget *previous = m_list;
    for (QWidget *next : {static_cast<QWidget *>(order[0]), static_cast<QWidget *>(order[1]),
                          static_cast<QWidget *>(order[2]), static_cast<QWidget *>(close)}) {
        setTabOrder(previous, next);
        previous = next;
    }

    resize(dialogUnitsToPixels(this, 283, 199));
    fillList();
}

void CRecordedMessagesDialog::fillList()
{
    for (const SentMessages::Entry &entry : SentMessages::List(m_outboxFolder))
        addReportRow(m_list, {entry.fileName, entry.sentTo, SentMessages::FormatDate(entry.created)});
}

QString CRecordedMessagesDialog::fileNameOfRow(int row) const
{
    const QTableWidgetItem *item = m_list->item(row, FileColumn);
    return item ? item->text() : QString();
}

void CRecordedMessagesDialog::OnPlayFile()
{
    const QList<int> selected = selectedReportRows(m_list);
    if (selected.isEmpty())
        return;
    // The desktop's own audio player plays the file; the dialog stays open.
    const QString path = QDir(m_outboxFolder).filePath(fileNameOfRow(selected.first()));
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CRecordedMessagesDialog::OnAttachFile()
{
    m_chosenPath.clear();
    const QList<int> selected = selectedReportRows(m_list);
    if (!selected.isEmpty())
        m_chosenPath = QDir(m_outboxFolder).filePath(fileNameOfRow(selected.first()));
    done(Ids::ResultAttachFile);
}

void CRecordedMessagesDialog::OnDeleteFiles()
{
    const QList<int> selected = selectedReportRows(m_list);
    if (selected.isEmpty())
        return;
    if (!m_prompter->ask(this, QStringLiteral("Do you want to delete the selected files?")))
        return;
    for (auto it = selected.crbegin(); it != selected.crend(); ++it) {
        const QString fileName = fileNameOfRow(*it);
        m_list->removeRow(*it);
        SentMessages::Delete(m_outboxFolder, fileName);
    }
}
