#include "resources/art.h"

#include "resources/resource_ids.h"

#include <QFont>
#include <QHash>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace Art {
namespace {

const QColor Purple(100, 0, 180);
const QColor Amber(255, 200, 100);

enum class Glyph { Record, Play, Stop, Attach, Browse, New, Send, Settings, Messages, Help, Hide };

Glyph glyphForButton(int firstBitmapId)
{
    if (firstBitmapId == Ids::RecBitmaps[0]) return Glyph::Record;
    if (firstBitmapId == Ids::PlayBitmaps[0]) return Glyph::Play;
    if (firstBitmapId == Ids::StopBitmaps[0]) return Glyph::Stop;
    if (firstBitmapId == Ids::AttachBitmaps[0]) return Glyph::Attach;
    return Glyph::Browse;
}

QString captionForButton(Glyph glyph)
{
    switch (glyph) {
    case Glyph::Record: return QStringLiteral("Rec");
    case Glyph::Play: return QStringLiteral("Play");
    case Glyph::Stop: return QStringLiteral("Stop");
    case Glyph::Attach: return QStringLiteral("Attach");
    default: return QStringLiteral("...");
    }
}

// Draws a glyph centred in box; colours dim when the state is disabled.
void drawGlyph(QPainter &p, Glyph glyph, const QRectF &box, bool enabled)
{
    const qreal s = qMin(box.width(), box.height());
    const QRectF r(box.center().x() - s / 2, box.center().y() - s / 2, s, s);
    const QColor ink = enabled ? QColor(30, 30, 30) : QColor(150, 150, 150);
    p.setPen(Qt::NoPen);
    switch (glyph) {
    case Glyph::Record:
        p.setBrush(enabled ? QColor(210, 20, 20) : QColor(190, 150, 150));
        p.drawEllipse(r.adjusted(s * 0.15, s * 0.15, -s * 0.15, -s * 0.15));
        break;
    case Glyph::Play:
    case Glyph::Send: {
        p.setBrush(glyph == Glyph::Play ? (enabled ? QColor(20, 140, 40) : QColor(150, 180, 150)) : Purple);
        QPolygonF tri;
        tri << QPointF(r.left() + s * 0.2, r.top() + s * 0.15) << QPointF(r.right() - s * 0.1, r.center().y())
            << QPointF(r.left() + s * 0.2, r.bottom() - s * 0.15);
        p.drawPolygon(tri);
        break;
    }
    case Glyph::Stop:
        p.setBrush(ink);
        p.drawRect(r.adjusted(s * 0.2, s * 0.2, -s * 0.2, -s * 0.2));
        break;
    case Glyph::Attach:
    case Glyph::Browse: {
        p.setBrush(ink);
        const qreal d = s * 0.16;
        for (int i = -1; i <= 1; ++i)
            p.drawEllipse(QPointF(r.center().x() + i * d * 2, r.center().y()), d / 2, d / 2);
        break;
    }
    case Glyph::New:
        p.setBrush(Qt::white);
        p.setPen(QPen(ink, 1));
        p.drawRect(r.adjusted(s * 0.2, s * 0.1, -s * 0.2, -s * 0.1));
        break;
    case Glyph::Settings:
        p.setPen(QPen(Purple, s * 0.14));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r.adjusted(s * 0.22, s * 0.22, -s * 0.22, -s * 0.22));
        break;
    case Glyph::Messages:
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(255, 255, 220));
        p.drawRect(r.adjusted(s * 0.1, s * 0.25, -s * 0.1, -s * 0.25));
        p.drawLine(QPointF(r.left() + s * 0.1, r.top() + s * 0.25), r.center());
        p.drawLine(QPointF(r.right() - s * 0.1, r.top() + s * 0.25), r.center());
        break;
    case Glyph::Help: {
        p.setBrush(Purple);
        p.drawEllipse(r.adjusted(s * 0.1, s * 0.1, -s * 0.1, -s * 0.1));
        QFont f;
        f.setBold(true);
        f.setPixelSize(int(s * 0.6));
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Glyph::Hide:
        p.setBrush(ink);
        p.drawRect(QRectF(r.left() + s * 0.15, r.bottom() - s * 0.3, s * 0.7, s * 0.15));
        break;
    }
}

}  // namespace

QPixmap buttonFace(int firstBitmapId, ButtonState state, const QSize &size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const bool enabled = state != ButtonState::Disabled;
    const bool down = state == ButtonState::Down;
    const QRectF frame = QRectF(pixmap.rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    QLinearGradient face(frame.topLeft(), frame.bottomLeft());
    face.setColorAt(0, down ? QColor(205, 205, 215) : QColor(250, 250, 252));
    face.setColorAt(1, down ? QColor(235, 235, 240) : QColor(215, 215, 225));
    p.setBrush(enabled ? QBrush(face) : QBrush(QColor(235, 235, 235)));
    p.setPen(QPen(enabled ? QColor(90, 90, 110) : QColor(170, 170, 170), 1));
    p.drawRoundedRect(frame, 3, 3);

    const Glyph glyph = glyphForButton(firstBitmapId);
    const qreal shift = down ? 1 : 0;
    const QRectF inner = frame.adjusted(3 + shift, 2 + shift, -3 + shift, -2 + shift);
    const QString caption = captionForButton(glyph);
    if (glyph == Glyph::Browse) {
        drawGlyph(p, glyph, inner, enabled);
    } else {
        const QRectF glyphBox(inner.left(), inner.top(), inner.height(), inner.height());
        drawGlyph(p, glyph, glyphBox, enabled);
        QFont font;
        font.setPixelSize(qMax(8, int(inner.height() * 0.8)));
        p.setFont(font);
        p.setPen(enabled ? QColor(20, 20, 20) : QColor(150, 150, 150));
        p.drawText(inner.adjusted(glyphBox.width() + 2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, caption);
    }
    if (state == ButtonState::Focus) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Purple, 1, Qt::DotLine));
        p.drawRoundedRect(frame.adjusted(2, 2, -2, -2), 2, 2);
    }
    return pixmap;
}

QIcon commandIcon(int commandId)
{
    Glyph glyph = Glyph::New;
    switch (commandId) {
    case Ids::CmdSend: glyph = Glyph::Send; break;
    case Ids::CmdSettings: glyph = Glyph::Settings; break;
    case Ids::CmdSentMessages: glyph = Glyph::Messages; break;
    case Ids::CmdOnlineHelp: glyph = Glyph::Help; break;
    case Ids::CmdHide: glyph = Glyph::Hide; break;
    default: break;
    }
    QIcon icon;
    for (const bool enabled : {true, false}) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        drawGlyph(p, glyph, QRectF(0, 0, 16, 16), enabled);
        p.end();
        icon.addPixmap(pixmap, enabled ? QIcon::Normal : QIcon::Disabled);
    }
    return icon;
}

namespace {

constexpr int TrayIconSizes[] = {16, 22, 24, 32, 48, 64, 128, LargestIconSide};

void paintTrayIcon(QPainter &p, int size)
{
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(size * 0.06, size * 0.06, size * 0.88, size * 0.88);
    p.setBrush(Purple);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(r, size * 0.18, size * 0.18);
    // A stylised sound wave crossing an envelope-yellow "O".
    p.setPen(QPen(Amber, qMax(1.5, size * 0.1)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(size * 0.2, size * 0.2, -size * 0.2, -size * 0.2));
    QPainterPath wave;
    wave.moveTo(r.left() + size * 0.12, r.center().y());
    wave.cubicTo(r.center().x() - size * 0.12, r.top() + size * 0.1, r.center().x() + size * 0.12,
                 r.bottom() - size * 0.1, r.right() - size * 0.12, r.center().y());
    p.setPen(QPen(QColor(255, 255, 0), qMax(1.0, size * 0.06)));
    p.drawPath(wave);
}

// Paints the tray icon at a size when that size is first asked for: the tray wants
// one size only once the window goes there, and drawing every size up front would
// cost every start.
class TrayIconEngine : public QIconEngine
{
public:
    explicit TrayIconEngine(int largestSide) : m_largestSide(largestSide) {}
    QIconEngine *clone() const override { return new TrayIconEngine(*this); }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int size : TrayIconSizes) {
            if (size <= m_largestSide)
                sizes << QSize(size, size);
        }
        return sizes;
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        const int side = qMin(size.width(), size.height());
        if (side <= 0)
            return QPixmap();
        QPixmap &drawn = m_drawn[side];
        if (drawn.isNull()) {
            drawn = QPixmap(side, side);
            drawn.fill(Qt::transparent);
            QPainter p(&drawn);
            paintTrayIcon(p, side);
        }
        // Other modes look as Qt makes them from the normal picture.
        return mode == QIcon::Normal ? drawn : QIcon(drawn).pixmap(drawn.size(), mode, state);
    }

private:
    int m_largestSide;
    QHash<int, QPixmap> m_drawn;
};

}  // namespace

QIcon trayIcon(int largestSide)
{
    return QIcon(new TrayIconEngine(largestSide));
}

QPixmap logo()
{
    QPixmap pixmap(80, 40);
    pixmap.fill(QColor(255, 200, 100));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(4, 4, trayIcon().pixmap(32, 32));
    p.setPen(Purple);
    QFont font;
    font.setBold(true);
    font.setPixelSize(13);
    p.setFont(font);
    p.drawText(QRect(38, 0, 42, 40), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("voice"));
    return pixmap;
}

}  // namespace Art
