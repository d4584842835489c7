#pragma once

#include <QColor>
#include <QRect>
#include <QStringList>

class QFont;
class QPainter;

// The face of the splash and About boxes: coloured bands, the product title, the
// attribution lines and the bottom line, painted over the whole client area.
namespace BoxFace {

enum class Kind { Splash, About };

// The colours of the layout.
inline const QColor SplashBackground(255, 255, 200);
inline const QColor AboutBackground(255, 255, 220);
inline const QColor Band(100, 0, 180);        // top and bottom bands, title background
inline const QColor LeftColumn(255, 200, 100);
inline const QColor BottomStrip(255, 255, 0);
inline const QColor Text(0, 0, 180);

// Band geometry in pixels of the client area.
constexpr int TopBandHeight = 40;
constexpr int BottomBandHeight = 5;
constexpr int LeftColumnWidth = 80;
constexpr int LeftColumnTop = 30;
constexpr int BottomStripHeight = 15;   // above the bottom band
constexpr int BottomLineHeight = 20;    // the rectangle of the bottom line

QColor background(Kind kind);
// Ten blanks, the name and the version, as one string centred at the top.
QString title();
// The four attribution lines of both boxes.
QStringList attributionLines();
// The credits page of the About box: its heading line and four lines naming roles.
QStringList creditLines();
// The line along the bottom edge.
QString bottomLine();
// Where the attribution or credits text starts: the client area shrunk as the boxes do.
QRect textRect(const QRect &client);
// The bold title face, "Tahoma" or the nearest the platform has, sized to a 40-pixel
// cell about 14 pixels wide on average per character.
QFont titleFont();

// Paints everything onto `client`; textFont is the box's own font for the lines.
void paint(QPainter &painter, const QRect &client, Kind kind, bool credits, const QFont &textFont);

}  // namespace BoxFace
