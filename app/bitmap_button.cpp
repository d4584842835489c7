#include "app/bitmap_button.h"

#include "resources/art.h"

#include <QPainter>

BitmapButton::BitmapButton(const QString &caption, QWidget *parent)
    : QAbstractButton(parent)
{
    setText(caption);
    setAccessibleName(caption);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BitmapButton::loadBitmaps(const int (&ids)[4])
{
    m_firstBitmap = ids[0];
    update();
}

QSize BitmapButton::sizeHint() const
{
    // 43 by 12 dialog units.
    const QFontMetrics fm = fontMetrics();
    return QSize(43 * fm.averageCharWidth() / 4 + 4, qMax(20, 12 * fm.height() / 8 + 4));
}

void BitmapButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_firstBitmap == 0) {
        p.drawText(rect(), Qt::AlignCenter, text());
        return;
    }
    Art::ButtonState state = Art::ButtonState::Up;
    if (!isEnabled())
        state = Art::ButtonState::Disabled;
    else if (isDown())
        state = Art::ButtonState::Down;
    else if (hasFocus())
        state = Art::ButtonState::Focus;
    p.drawPixmap(0, 0, Art::buttonFace(m_firstBitmap, state, size()));
}
