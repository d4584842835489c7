#pragma once

#include <QImage>
#include <QWidget>

// Pane 1 of the status bar: a text on the pane's face, and filled rectangles that
// the status displays paint over it. Setting the text repaints the whole pane, which
// wipes what was filled before, just as a pane redraw does.
class StatusPane : public QWidget
{
    Q_OBJECT
public:
    explicit StatusPane(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setPaneText(const QString &text);
    // Fills a rectangle given in the pane's own coordinates (right and bottom exclusive).
    void fillSolidRect(int left, int top, int right, int bottom, const QColor &color);
    QColor faceColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void paneTextChanged(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString m_text;
    QImage m_overlay;
};
