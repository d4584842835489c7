#include "records/report_list.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableWidget>
#include <algorithm>

QTableWidget *makeReportList(QWidget *parent, const QStringList &headers, const QList<int> &widths)
{
    auto *list = new QTableWidget(0, int(headers.size()), parent);
    list->setHorizontalHeaderLabels(headers);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->verticalHeader()->hide();
    QHeaderView *header = list->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    for (int column = 0; column < widths.size(); ++column)
        list->setColumnWidth(column, widths.at(column));
    return list;
}

void addReportRow(QTableWidget *list, const QStringList &texts)
{
    const int row = list->rowCount();
    list->insertRow(row);
    for (int column = 0; column < texts.size() && column < list->columnCount(); ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        list->setItem(row, column, item);
    }
}

QList<int> selectedReportRows(const QTableWidget *list)
{
    QList<int> rows;
    for (const QModelIndex &index : list->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QSize dialogUnitsToPixels(const QWidget *widget, int width, int height)
{
    const QFontMetrics fm = widget->fontMetrics();
    return QSize(width * fm.averageCharWidth() / 4, height * fm.height() / 8);
}
