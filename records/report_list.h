#pragma once

#include <QList>
#include <QSize>
#include <QStringList>

class QTableWidget;
class QWidget;

// The report-style list both record dialogs use: grid lines, whole rows selected,
// several rows at once, read-only cells, left-aligned columns of fixed widths.
QTableWidget *makeReportList(QWidget *parent, const QStringList &headers, const QList<int> &widths);
// Appends a row of texts.
void addReportRow(QTableWidget *list, const QStringList &texts);
// Selected rows, lowest first.
QList<int> selectedReportRows(const QTableWidget *list);
// A size given in dialog units, in pixels of the widget's font.
QSize dialogUnitsToPixels(const QWidget *widget, int width, int height);
