#include "shell/log_dialog.h"

#include "resources/resource_ids.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

CLogDialog::CLogDialog(QWidget *parent)
    : QWidget(parent), m_edit(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("logDialog"));
    m_edit->setObjectName(QString::number(Ids::LogEdit));
    m_edit->setAccessibleName(QStringLiteral("Log"));
    m_edit->setReadOnly(true);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setTabStopDistance(4 * m_edit->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 2);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(m_edit);

    // Template 130 is 188 by 75 dialog units.
    const QFontMetrics fm = fontMetrics();
    const int baseX = fm.averageCharWidth();
    const int baseY = fm.height();
    resize(188 * baseX / 4, 75 * baseY / 8);
}
