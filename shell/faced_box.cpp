#include "shell/faced_box.h"

#include "resources/art.h"
#include "resources/resource_ids.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr int BorderWidth = 1;
// 32 by 14 dialog units in the boxes' font.
const QSize ButtonSize(48, 23);

}  // namespace

CFacedBox::CFacedBox(BoxFace::Kind kind, const QSize &clientSize, const QPoint &closeAt, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_kind(kind),
      m_logo(new QLabel(this)),
      m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setFixedSize(clientSize + QSize(2 * BorderWidth, 2 * BorderWidth));
    // A box without a caption shows no icon; the frame's would only be converted
    // and sent to the window system once more.
    setWindowIcon(QIcon());
    setFont(boxFont(font()));
    // The face is painted whole; the logo sits on it at the top left.
    m_logo->setObjectName(QString::number(Ids::LogoBitmap));
    const QPixmap logo = Art::logo();
    m_logo->setPixmap(logo);
    m_logo->setGeometry(QRect(clientRect().topLeft(), logo.size()));
    m_close->setObjectName(QString::number(Ids::ResultOk));
    m_close->setDefault(true);
    placeButton(m_close, closeAt);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
}

QRect CFacedBox::clientRect() const
{
    return rect().adjusted(BorderWidth, BorderWidth, -BorderWidth, -BorderWidth);
}

void CFacedBox::placeButton(QPushButton *button, const QPoint &at) const
{
    button->setGeometry(QRect(clientRect().topLeft() + at, ButtonSize));
}

void CFacedBox::setCredits(bool credits)
{
    m_credits = credits;
    update();
}

QFont CFacedBox::boxFont(const QFont &inherited)
{
    // The boxes are laid out for a small dialog font of about 8 points.
    QFont small = inherited;
    small.setPixelSize(11);
    return small;
}

void CFacedBox::paintWhole(QPainter &painter, const QRect &boxRect, BoxFace::Kind kind, bool credits,
                           const QFont &font)
{
    painter.setPen(QPen(Qt::black, BorderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(boxRect.adjusted(0, 0, -BorderWidth, -BorderWidth));
    BoxFace::paint(painter, boxRect.adjusted(BorderWidth, BorderWidth, -BorderWidth, -BorderWidth), kind, credits,
                   font);
}

CFacedBox::PaintedFace CFacedBox::paintFace(BoxFace::Kind kind, const QSize &clientSize,
                                            const QFont &applicationFont, qreal pixelRatio)
{
    const QRect boxRect(QPoint(), clientSize + QSize(2 * BorderWidth, 2 * BorderWidth));
    PaintedFace face{QImage(boxRect.size() * pixelRatio, QImage::Format_RGB32), boxFont(applicationFont)};
    face.image.setDevicePixelRatio(pixelRatio);
    QPainter painter(&face.image);
    paintWhole(painter, boxRect, kind, false, face.font);
    return face;
}

bool CFacedBox::drawPaintedFace(QPainter &painter)
{
    if (m_credits || !m_paintedFace.valid())
        return false;
    const PaintedFace &face = m_paintedFace.get();
    if (face.font != font() || face.image.devicePixelRatio() != painter.device()->devicePixelRatio()
        || face.image.deviceIndependentSize() != QSizeF(size()))
        return false;
    painter.drawImage(0, 0, face.image);
    return true;
}

void CFacedBox::hideEvent(QHideEvent *event)
{
    m_paintedFace = {};
    QDialog::hideEvent(event);
}

void CFacedBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!drawPaintedFace(painter))
        paintWhole(painter, rect(), m_kind, m_credits, font());
}
