#include "shell/status_pane.h"

#include <QPainter>
#include <QStyleOptionFrame>

namespace {
// The width of "Idle" followed by 42 blanks sets the pane's width.
const QString WidthText = QStringLiteral("Idle") + QString(42, QLatin1Char(' '));
}

StatusPane::StatusPane(QWidget *parent)
    : QWidget(parent), m_text(QStringLiteral("Idle"))
{
    setObjectName(QStringLiteral("statusPane"));
    setAccessibleName(QStringLiteral("Status"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void StatusPane::setPaneText(const QString &text)
{
    m_text = text;
    m_overlay.fill(Qt::transparent);
    setAccessibleDescription(text);
    update();
    emit paneTextChanged(text);
}

void StatusPane::fillSolidRect(int left, int top, int right, int bottom, const QColor &color)
{
    if (right <= left || bottom <= top || m_overlay.isNull())
        return;
    QPainter p(&m_overlay);
    p.fillRect(QRect(left, top, right - left, bottom - top), color);
    update();
}

QColor StatusPane::faceColor() const
{
    return palette().color(QPalette::Button);
}

QSize StatusPane::sizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    return QSize(fm.horizontalAdvance(WidthText) + 8, fm.height() + 6);
}

QSize StatusPane::minimumSizeHint() const
{
    return sizeHint();
}

void StatusPane::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), faceColor());
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &frame, &p, this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect().adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, m_text);
    p.drawImage(0, 0, m_overlay);
}

void StatusPane::resizeEvent(QResizeEvent *)
{
    m_overlay = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_overlay.fill(Qt::transparent);
}
