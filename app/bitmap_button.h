#pragma once

#include <QAbstractButton>

// A push button that shows one of four faces: up, down, focus or disabled.
class BitmapButton : public QAbstractButton
{
    Q_OBJECT
public:
    BitmapButton(const QString &caption, QWidget *parent = nullptr);

    // Takes the four faces of the given art set (up, down, focus, disabled).
    void loadBitmaps(const int (&ids)[4]);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_firstBitmap = 0;
};
