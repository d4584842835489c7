#pragma once

#include "shell/box_painting.h"

#include <QDialog>
#include <QFont>
#include <QImage>

#include <future>

class QLabel;
class QPushButton;

// A captionless box with a thin border whose client area is painted with the
// product's face, the logo (bitmap 177) at its top left and a "Close" button.
// The splash and About boxes are such boxes.
class CFacedBox : public QDialog
{
    Q_OBJECT
public:
    // The client area within the border, in the box's coordinates.
    QRect clientRect() const;
    QPushButton *closeButton() const { return m_close; }
    QLabel *logo() const { return m_logo; }

    // A face painted ahead into an image, with the font it was painted in.
    struct PaintedFace
    {
        QImage image;
        QFont font;
    };
    // Paints the face of a box of this kind (border and client area, no credits) for
    // the application's font: safe on any thread, so start-up can paint the splash's
    // on another core while the main window is built.
    static PaintedFace paintFace(BoxFace::Kind kind, const QSize &clientSize, const QFont &applicationFont,
                                 qreal pixelRatio);

protected:
    // clientSize and the button positions are in pixels of the client area.
    CFacedBox(BoxFace::Kind kind, const QSize &clientSize, const QPoint &closeAt, QWidget *parent);

    // Places a button of the boxes' size at a client position.
    void placeButton(QPushButton *button, const QPoint &at) const;
    // Draws that face instead of painting while it fits the box as it is shown.
    void usePaintedFace(std::shared_future<PaintedFace> face) { m_paintedFace = std::move(face); }
    void setCredits(bool credits);
    bool credits() const { return m_credits; }

    void paintEvent(QPaintEvent *event) override;
    // A hidden box lets a face painted ahead go; shown again, it paints itself.
    void hideEvent(QHideEvent *event) override;

private:
    static QFont boxFont(const QFont &inherited);
    static void paintWhole(QPainter &painter, const QRect &boxRect, BoxFace::Kind kind, bool credits,
                           const QFont &font);
    bool drawPaintedFace(QPainter &painter);

    BoxFace::Kind m_kind;
    std::shared_future<PaintedFace> m_paintedFace;
    bool m_credits = false;
    QLabel *m_logo;
    QPushButton *m_close;
};
