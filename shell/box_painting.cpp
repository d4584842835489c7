#include "shell/box_painting.h"

#include "resources/product.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace BoxFace {

namespace {

constexpr int TitleCellHeight = 40;
constexpr int TitleAverageWidth = 14;

}  // namespace

QColor background(Kind kind)
{
    return kind == Kind::Splash ? SplashBackground : AboutBackground;
}

QString title()
{
    return QString(10, QLatin1Char(' ')) + QString::fromLatin1(Product::Name) + QString::fromLatin1(Product::Version);
}

QStringList attributionLines()
{
    return {QStringLiteral("Web: ") + QString::fromLatin1(Product::WebHost), QStringLiteral("E-mail: team@orvanto.example"),
            QStringLiteral("Phone: +1 555 0100"), QStringLiteral("Fax: +1 555 0101")};
}

QStringList creditLines()
{
    return {QStringLiteral("Orvanto ") + QString::fromLatin1(Product::Version) + QStringLiteral(" Team:"),
            QStringLiteral("Design: the Orvanto team"), QStringLiteral("Audio: Orvanto sound crew"),
            QStringLiteral("Mail: Orvanto network crew"), QStringLiteral("Support: Orvanto help desk")};
}

QString bottomLine()
{
    return QStringLiteral("Copyright 2026 the Orvanto team");
}

QRect textRect(const QRect &client)
{
    // Two shrinking steps: past the title band and the left column, then a margin.
    QRect r = client.adjusted(45, 30, 0, -15);
    return r.adjusted(40, 20, -40, -40);
}

QFont titleFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif, QFont::PreferQuality);
    font.setBold(true);
    // The cell height is given, Qt sizes by the em: scale the em until the cell fits.
    font.setPixelSize(TitleCellHeight);
    const int cell = QFontMetrics(font).height();
    if (cell > 0)
        font.setPixelSize(qMax(1, TitleCellHeight * TitleCellHeight / cell));
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0)
        font.setStretch(qBound(50, 100 * TitleAverageWidth / average, 200));
    return font;
}

void paint(QPainter &painter, const QRect &client, Kind kind, bool credits, const QFont &textFont)
{
    const QColor face = background(kind);
    const int l = client.left(), t = client.top();
    const int r = client.left() + client.width(), b = client.top() + client.height();
    painter.save();
    painter.fillRect(client, face);
    painter.fillRect(QRect(l, t, r - l, TopBandHeight), Band);
    painter.fillRect(QRect(l, b - BottomBandHeight, r - l, BottomBandHeight), Band);
    painter.fillRect(QRect(l, t + LeftColumnTop, LeftColumnWidth, b - BottomBandHeight - t - LeftColumnTop), LeftColumn);
    painter.fillRect(QRect(l + LeftColumnWidth, b - BottomLineHeight, r - l - LeftColumnWidth, BottomStripHeight),
                     BottomStrip);

    painter.setFont(titleFont());
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Band);
    painter.setPen(face);
    painter.drawText(client, Qt::AlignHCenter | Qt::AlignTop, title());

    const QStringList lines = credits && kind == Kind::About ? creditLines() : attributionLines();
    painter.setFont(textFont);
    painter.setBackground(face);
    painter.setPen(Text);
    painter.drawText(textRect(client), Qt::AlignLeft | Qt::AlignTop, lines.join(QLatin1Char('\n')));

    painter.setBackgroundMode(Qt::TransparentMode);
    const Qt::Alignment bottomAlign = kind == Kind::Splash ? Qt::AlignLeft : Qt::AlignHCenter;
    painter.drawText(QRect(l, b - BottomLineHeight, r - l, BottomLineHeight), bottomAlign | Qt::AlignTop, bottomLine());
    painter.restore();
}

}  // namespace BoxFace
