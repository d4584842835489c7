#pragma once

#include "shell/box_painting.h"

#include <QDialog>

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

protected:
    // clientSize and the button positions are in pixels of the client area.
    CFacedBox(BoxFace::Kind kind, const QSize &clientSize, const QPoint &closeAt, QWidget *parent);

    // Places a button of the boxes' size at a client position.
    void placeButton(QPushButton *button, const QPoint &at) const;
    void setCredits(bool credits);
    bool credits() const { return m_credits; }

    void paintEvent(QPaintEvent *event) override;

private:
    BoxFace::Kind m_kind;
    bool m_credits = false;
    QLabel *m_logo;
    QPushButton *m_close;
};
