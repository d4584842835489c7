#include "shell/log_bar.h"

#include <QBoxLayout>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>

namespace {

bool isHorizontal(Qt::DockWidgetArea side)
{
    return side == Qt::TopDockWidgetArea || side == Qt::BottomDockWidgetArea;
}

// A rectangle given by its left, top, right and bottom, right and bottom exclusive.
QRect span(int left, int top, int right, int bottom)
{
    return QRect(left, top, qMax(0, right - left), qMax(0, bottom - top));
}

void draw3dRect(QPainter &p, const QRect &r, const QColor &light, const QColor &dark)
{
    if (r.isEmpty())
        return;
    p.fillRect(span(r.left(), r.top(), r.right(), r.top() + 1), light);
    p.fillRect(span(r.left(), r.top(), r.left() + 1, r.bottom()), light);
    p.fillRect(span(r.right(), r.top(), r.right() + 1, r.bottom() + 1), dark);
    p.fillRect(span(r.left(), r.bottom(), r.right() + 1, r.bottom() + 1), dark);
}

}  // namespace

LogBarLayout LogBarLayout::forSide(Qt::DockWidgetArea side, const QRect &window)
{
    const int l = window.left(), t = window.top();
    const int r = window.left() + window.width(), b = window.top() + window.height();
    LogBarLayout out;
    int cl = l, ct = t, cr = r, cb = b;
    switch (side) {
    case Qt::TopDockWidgetArea:
        cl += GripperSize, cb -= EdgeWidth, ct += Gap, cr -= Gap;
        out.edge = span(l, b - EdgeWidth, r, b);
        out.borders = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge;
        break;
    case Qt::LeftDockWidgetArea:
        ct += GripperSize, cr -= EdgeWidth, cl += Gap, cb -= Gap;
        out.edge = span(r - EdgeWidth, t, r, b);
        out.borders = Qt::LeftEdge | Qt::TopEdge | Qt::BottomEdge;
        break;
    case Qt::RightDockWidgetArea:
        ct += GripperSize, cl += EdgeWidth, cr -= Gap, cb -= Gap;
        out.edge = span(l, t, l + EdgeWidth, b);
        out.borders = Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
        break;
    case Qt::BottomDockWidgetArea:
    default:
        cl += GripperSize, ct += EdgeWidth, cb -= Gap, cr -= Gap;
        out.edge = span(l, t, r, t + EdgeWidth);
        out.borders = Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge;
        break;
    }
    out.client = span(cl, ct, cr, cb);

    if (side == Qt::LeftDockWidgetArea || side == Qt::RightDockWidgetArea) {
        // The strip runs along the top, glyphs at its right end.
        out.closeGlyph = span(r - 21, t + 7, r - 10, t + 18);
        out.maximiseGlyph = out.closeGlyph.translated(-13, 0);
        out.gripper = span(l, t, r - 40, t + 20);
        out.gripLines[0] = span(l + 10, t + 10, r - 38, t + 13);
        out.gripLines[1] = span(l + 10, t + 14, r - 38, t + 17);
    } else {
        // The strip runs down the left side, glyphs at its top.
        out.closeGlyph = span(l + 7, t + 10, l + 19, t + 22);
        out.maximiseGlyph = out.closeGlyph.translated(0, 13);
        out.gripper = span(l, t + 40, l + 20, b);
        out.gripLines[0] = span(l + 10, t + 38, l + 13, b - 10);
        out.gripLines[1] = span(l + 14, t + 38, l + 17, b - 10);
    }
    return out;
}

// The bar's whole face: it paints the parts outside the client area and swallows
// every press on them; the hosted dialog fills the client area.
class CLogBar::Face : public QWidget
{
public:
    explicit Face(CLogBar *bar) : QWidget(bar), m_bar(bar)
    {
        setMouseTracking(true);
        setAutoFillBackground(false);
        m_box = new QBoxLayout(QBoxLayout::TopToBottom, this);
        m_box->setSpacing(0);
    }

    void host(QWidget *dialog) { m_box->addWidget(dialog); }
    void setClientMargins(const QMargins &margins) { m_box->setContentsMargins(margins); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const LogBarLayout lay = m_bar->layout();
        const QColor light = palette().color(QPalette::Light);
        const QColor dark = palette().color(QPalette::Dark);
        p.fillRect(rect(), palette().color(QPalette::Button));
        draw3dRect(p, lay.edge, light, dark);
        drawGlyph(p, lay.closeGlyph, true);
        drawGlyph(p, lay.maximiseGlyph, false);
        for (const QRect &line : lay.gripLines)
            draw3dRect(p, line, light, dark);
    }

    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent *event) override { event->accept(); }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        event->accept();
        if (m_bar->hitTest(event->position().toPoint()) == Hit::Edge)
            setCursor(isHorizontal(m_bar->dockSide()) ? Qt::SizeVerCursor : Qt::SizeHorCursor);
        else
            unsetCursor();
    }

private:
    // A small raised caption button with a close cross or a maximise box on it.
    void drawGlyph(QPainter &p, const QRect &r, bool close)
    {
        if (r.isEmpty())
            return;
        p.fillRect(r, palette().color(QPalette::Button));
        draw3dRect(p, r, palette().color(QPalette::Light), palette().color(QPalette::Shadow));
        const QRect inner = r.adjusted(3, 3, -3, -3);
        p.save();
        p.setPen(QPen(palette().color(QPalette::ButtonText), 1));
        if (close) {
            p.drawLine(inner.topLeft(), inner.bottomRight());
            p.drawLine(inner.topRight(), inner.bottomLeft());
        } else {
            p.drawRect(inner);
            p.drawLine(inner.left(), inner.top() + 1, inner.right(), inner.top() + 1);
        }
        p.restore();
    }

    CLogBar *m_bar;
    QBoxLayout *m_box;
};

CLogBar::CLogBar(const QString &caption, QWidget *dialog, QMainWindow *parent)
    : QDockWidget(caption, parent), m_dialog(dialog), m_face(new Face(this))
{
    setObjectName(QStringLiteral("logBar"));
    // Docked where the frame puts it, never moved, floated or closed by the user.
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    setTitleBarWidget(new QWidget(this));
    // The dialog's size as created fixes the bar's thickness on either kind of side.
    m_dockedHeight = dialog->height() + LogBarLayout::EdgeWidth + LogBarLayout::Gap;
    m_dockedWidth = dialog->width() + LogBarLayout::EdgeWidth + LogBarLayout::Gap;
    m_face->host(dialog);
    setWidget(m_face);
    connect(this, &QDockWidget::dockLocationChanged, this, &CLogBar::applySide);
    applySide(Qt::BottomDockWidgetArea);
}

LogBarLayout CLogBar::layout() const
{
    return LogBarLayout::forSide(m_side, rect());
}

CLogBar::Hit CLogBar::hitTest(const QPoint &pos) const
{
    const LogBarLayout lay = layout();
    if (lay.closeGlyph.contains(pos))
        return Hit::CloseGlyph;
    if (lay.maximiseGlyph.contains(pos))
        return Hit::MaximiseGlyph;
    if (lay.gripper.contains(pos))
        return Hit::Gripper;
    if (lay.edge.contains(pos))
        return Hit::Edge;
    return lay.client.contains(pos) ? Hit::Client : Hit::Border;
}

void CLogBar::applySide(Qt::DockWidgetArea side)
{
    if (side == Qt::NoDockWidgetArea)
        return;
    m_side = side;
    const QRect sample(0, 0, 1000, 1000);
    const QRect client = LogBarLayout::forSide(side, sample).client;
    m_face->setClientMargins(QMargins(client.left(), client.top(), sample.width() - client.right() - 1,
                                      sample.height() - client.bottom() - 1));
    if (isHorizontal(side)) {
        setMinimumSize(0, m_dockedHeight);
        setMaximumSize(QWIDGETSIZE_MAX, m_dockedHeight);
    } else {
        setMinimumSize(m_dockedWidth, 0);
        setMaximumSize(m_dockedWidth, QWIDGETSIZE_MAX);
    }
    m_face->update();
}
