#pragma once

#include <QDockWidget>
#include <QRect>

class QMainWindow;

// Where the parts of the log bar lie for a dock side, in the bar's own coordinates:
// the client area that holds the hosted dialog, the sizing edge facing the frame's
// interior, and the gripper strip with its two glyphs and two raised lines.
struct LogBarLayout
{
    QRect client;
    QRect edge;
    QRect gripper;
    QRect closeGlyph;
    QRect maximiseGlyph;
    QRect gripLines[2];
    Qt::Edges borders;

    static constexpr int EdgeWidth = 6;
    static constexpr int Gap = 3;
    static constexpr int GripperSize = 20;

    static LogBarLayout forSide(Qt::DockWidgetArea side, const QRect &window);
};

// The log bar: a docked bar of the main frame hosting one dialog (the log dialog).
// It paints its own gripper, caption glyphs and sizing edge; clicks on them are
// swallowed, so it keeps the size and dock side it was given and is never floated.
class CLogBar : public QDockWidget
{
    Q_OBJECT
public:
    enum class Hit { Client, CloseGlyph, MaximiseGlyph, Gripper, Edge, Border };

    // Hosts the dialog, whose current size fixes the bar's docked thickness.
    CLogBar(const QString &caption, QWidget *dialog, QMainWindow *parent);

    QWidget *dialog() const { return m_dialog; }
    Qt::DockWidgetArea dockSide() const { return m_side; }
    LogBarLayout layout() const;
    Hit hitTest(const QPoint &pos) const;
    // Thickness when docked at the top or bottom, and at the left or right.
    int dockedHeight() const { return m_dockedHeight; }
    int dockedWidth() const { return m_dockedWidth; }

private:
    class Face;
    void applySide(Qt::DockWidgetArea side);

    QWidget *m_dialog;
    Face *m_face;
    Qt::DockWidgetArea m_side = Qt::NoDockWidgetArea;
    int m_dockedHeight = 200;
    int m_dockedWidth = 200;
};
