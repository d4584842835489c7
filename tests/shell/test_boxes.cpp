// The splash and About boxes: their painted face, the splash timer, the credits page.

#include "resources/product.h"
#include "resources/resource_ids.h"
#include "shell/about_box.h"
#include "shell/box_painting.h"
#include "shell/main_frame.h"
#include "shell/splash_box.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

using BoxFace::Kind;

QImage renderFace(Kind kind, bool credits, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    QFont text;
    text.setPixelSize(11);
    BoxFace::paint(painter, image.rect(), kind, credits, text);
    return image;
}

QColor at(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

// Pixels within a rectangle close to a colour; text edges are smoothed.
int countColour(const QImage &image, const QRect &area, const QColor &colour, int tolerance = 60)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) +
                         qAbs(c.blue() - colour.blue()) <=
                     tolerance;
        }
    return count;
}

// Checks the fixed bands of the face on an image whose client area is `c`.
void checkBands(const QImage &image, const QRect &c, Kind kind)
{
    const int l = c.left(), t = c.top(), r = c.right() + 1, b = c.bottom() + 1;
    const QColor face = BoxFace::background(kind);
    // The top band: rows below the title's glyphs and its first row, right of the logo.
    for (int x = l + 82; x < r; x += 7) {
        QCOMPARE(at(image, x, t), BoxFace::Band);
        QCOMPARE(at(image, x, t + 38), BoxFace::Band);
        QCOMPARE(at(image, x, t + 39), BoxFace::Band);
    }
    QCOMPARE(at(image, r - 1, t + 40), face);
    // The bottom band, five rows across the whole width.
    for (int x = l; x < r; x += 5) {
        QCOMPARE(at(image, x, b - 1), BoxFace::Band);
        QCOMPARE(at(image, x, b - 3), BoxFace::Band);
    }
    // The left column from 30 down to the bottom band.
    QCOMPARE(at(image, l + 40, t + 100), BoxFace::LeftColumn);
    QCOMPARE(at(image, l + 79, t + 60), BoxFace::LeftColumn);
    QCOMPARE(at(image, l + 80, t + 60), face);
    QCOMPARE(at(image, l + 1, b - 21), BoxFace::LeftColumn);
    // The strip above the bottom band, right of the column, and the face above it.
    QCOMPARE(at(image, r - 2, b - 6), BoxFace::BottomStrip);
    QCOMPARE(at(image, r - 2, b - 20), BoxFace::BottomStrip);
    QCOMPARE(at(image, r - 2, b - 21), face);
    QCOMPARE(at(image, r - 5, t + 60), face);
}

}  // namespace

class BoxesTest : public QObject
{
    Q_OBJECT

private slots:
    void faceHasTheGivenBands_data();
    void faceHasTheGivenBands();
    void titleStandsRightOfCentre();
    void textIsDrawnInItsColourAndPlace();
    void creditsReplaceTheAttributionInAboutOnly();
    void textsNameTheTeamAndHost();

    void splashPaintsItsFaceAndLogo();
    void splashHidesAfterItsTimerAndShowsTheFrame();
    void splashCloseHidesAtOnceTimerStillShowsFrame();
    void splashLeavesAFrameInTheTrayHidden();

    void aboutEscapeShowsCreditsOnce();
    void aboutCreditsKeyAndCloseButton();
    void aboutCommandReachesTheApplication();
};

void BoxesTest::faceHasTheGivenBands_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("credits");
    QTest::newRow("splash") << int(Kind::Splash) << false;
    QTest::newRow("about") << int(Kind::About) << false;
    QTest::newRow("about credits") << int(Kind::About) << true;
}

void BoxesTest::faceHasTheGivenBands()
{
    QFETCH(int, kind);
    QFETCH(bool, credits);
    const QImage image = renderFace(Kind(kind), credits, QSize(309, 187));
    checkBands(image, image.rect(), Kind(kind));
    QCOMPARE(BoxFace::background(Kind::Splash), QColor(255, 255, 200));
    QCOMPARE(BoxFace::background(Kind::About), QColor(255, 255, 220));
}

void BoxesTest::titleStandsRightOfCentre()
{
    const QImage image = renderFace(Kind::Splash, false, QSize(309, 187));
    // Glyph pixels of the title are drawn in the face's colour over the band.
    const QColor face = BoxFace::background(Kind::Splash);
    int minX = image.width(), count = 0;
    long sumX = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (at(image, x, y) == face) {
                minX = qMin(minX, x);
                sumX += x;
                ++count;
            }
    QVERIFY(count > 100);
    QVERIFY2(sumX / count > image.width() / 2, "the visible title must stand right of the centre");
    QVERIFY2(minX > 80, "the leading blanks keep the title off the logo");
    QCOMPARE(BoxFace::title(), QStringLiteral("          Orvanto 3.0"));
    const QFont title = BoxFace::titleFont();
    QVERIFY(title.bold());
    QVERIFY(qAbs(QFontMetrics(title).height() - 40) <= 3);
}

void BoxesTest::textIsDrawnInItsColourAndPlace()
{
    const QImage image = renderFace(Kind::Splash, false, QSize(309, 187));
    const QRect text = BoxFace::textRect(image.rect());
    QCOMPARE(text, QRect(QPoint(85, 50), QPoint(268, 131)));
    QVERIFY(countColour(image, text, BoxFace::Text) > 50);
    // Outside the text area and the bottom line no text colour appears.
    QCOMPARE(countColour(image, QRect(0, 0, 309, 50), BoxFace::Text), 0);
    QCOMPARE(countColour(image, QRect(269, 40, 40, 127), BoxFace::Text), 0);
    // The bottom line: left-aligned in the splash, centred in the About box.
    const QRect bottom(0, 167, 309, 20);
    QVERIFY(countColour(image, bottom.adjusted(0, 0, -250, 0), BoxFace::Text) > 5);
    const QImage about = renderFace(Kind::About, false, QSize(309, 187));
    QCOMPARE(countColour(about, bottom.adjusted(0, 0, -290, 0), BoxFace::Text), 0);
    QVERIFY(countColour(about, bottom.adjusted(140, 0, -140, 0), BoxFace::Text) > 5);
}

void BoxesTest::creditsReplaceTheAttributionInAboutOnly()
{
    const QSize size(309, 187);
    QCOMPARE(renderFace(Kind::Splash, true, size), renderFace(Kind::Splash, false, size));
    const QImage plain = renderFace(Kind::About, false, size);
    const QImage credits = renderFace(Kind::About, true, size);
    QVERIFY(plain != credits);
    // Only the text area differs.
    const QRect text = BoxFace::textRect(QRect(QPoint(0, 0), size));
    QCOMPARE(plain.copy(0, 0, 309, text.top()), credits.copy(0, 0, 309, text.top()));
    QCOMPARE(plain.copy(0, text.bottom() + 1, 309, 187 - text.bottom() - 1),
             credits.copy(0, text.bottom() + 1, 309, 187 - text.bottom() - 1));
}

void BoxesTest::textsNameTheTeamAndHost()
{
    QCOMPARE(BoxFace::attributionLines().size(), 4);
    QVERIFY(BoxFace::attributionLines().join(QLatin1Char(' ')).contains(QLatin1String(Product::WebHost)));
    QVERIFY(BoxFace::bottomLine().contains(QLatin1String("Orvanto team")));
    const QStringList credits = BoxFace::creditLines();
    QCOMPARE(credits.size(), 5);
    QCOMPARE(credits.first(), QStringLiteral("Orvanto  3.0 Team:"));
}

void BoxesTest::splashPaintsItsFaceAndLogo()
{
    CMainFrame frame;
    CSplashBox splash(&frame);
    QVERIFY(!splash.windowFlags().testFlag(Qt::WindowTitleHint) ||
            splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(splash.timer().interval(), CSplashBox::DisplayMs);
    QCOMPARE(CSplashBox::DisplayMs, 10000);
    QVERIFY(splash.timer().isActive());
    splash.showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    const QImage image = splash.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect client = splash.clientRect();
    QCOMPARE(client.topLeft(), QPoint(1, 1));
    checkBands(image, client, Kind::Splash);
    // The thin border around the client area.
    QCOMPARE(at(image, 0, 50), QColor(Qt::black));
    QCOMPARE(at(image, image.width() - 1, 50), QColor(Qt::black));
    // The logo at the client's top left, and the Close button inside the face.
    QCOMPARE(splash.logo()->geometry(), QRect(client.topLeft(), QSize(80, 40)));
    QVERIFY(client.contains(splash.closeButton()->geometry()));
    QCOMPARE(splash.closeButton()->text(), QStringLiteral("Close"));

    if (const QString dir = qEnvironmentVariable("ORVANTO_SCREENSHOT_DIR"); !dir.isEmpty())
        QVERIFY(image.save(QDir(dir).filePath(QStringLiteral("splash.png"))));
}

void BoxesTest::splashHidesAfterItsTimerAndShowsTheFrame()
{
    CMainFrame frame;
    auto *splash = new CSplashBox(&frame, 100);
    splash->showCentred();
    QVERIFY(splash->isVisible());
    QVERIFY(!frame.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!splash->isVisible(), 5000);
    QVERIFY(frame.isVisible());
    QVERIFY(!splash->timer().isActive());
}

void BoxesTest::splashCloseHidesAtOnceTimerStillShowsFrame()
{
    CMainFrame frame;
    auto *splash = new CSplashBox(&frame, 200);
    splash->showCentred();
    QTest::mouseClick(splash->closeButton(), Qt::LeftButton);
    QVERIFY(!splash->isVisible());
    QVERIFY(!frame.isVisible());
    QVERIFY(splash->timer().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(frame.isVisible(), 5000);
    QVERIFY(!splash->isVisible());
}

void BoxesTest::splashLeavesAFrameInTheTrayHidden()
{
    CMainFrame frame;
    auto *splash = new CSplashBox(&frame, 100);
    splash->showCentred();
    frame.show();
    // As Hide leaves it: the window hidden, the tray icon shown.
    frame.hide();
    frame.trayIcon()->show();
    QVERIFY(frame.isHiddenInTray());
    QTRY_VERIFY_WITH_TIMEOUT(!splash->timer().isActive(), 5000);
    QVERIFY(!splash->isVisible());
    QVERIFY(!frame.isVisible());
    frame.trayIcon()->hide();
}

void BoxesTest::aboutEscapeShowsCreditsOnce()
{
    CAboutBox about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QVERIFY(!about.showsCredits());
    QVERIFY(!about.creditsButton()->isVisible());
    const QImage before = about.grab().toImage().convertToFormat(QImage::Format_RGB32);
    checkBands(before, about.clientRect(), Kind::About);
    if (const QString dir = qEnvironmentVariable("ORVANTO_SCREENSHOT_DIR"); !dir.isEmpty())
        QVERIFY(before.save(QDir(dir).filePath(QStringLiteral("about.png"))));

    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QVERIFY(about.showsCredits());
    const QImage credits = about.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(credits != before);
    checkBands(credits, about.clientRect(), Kind::About);

    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QCOMPARE(about.grab().toImage().convertToFormat(QImage::Format_RGB32), credits);
}

void BoxesTest::aboutCreditsKeyAndCloseButton()
{
    CAboutBox about;
    about.show();
    about.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QTest::keyClick(&about, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(about.showsCredits());
    QVERIFY(about.isVisible());
    QTest::mouseClick(about.closeButton(), Qt::LeftButton);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));

    // Every run starts on the attribution page.
    CAboutBox again;
    QVERIFY(!again.showsCredits());
    again.creditsButton()->click();
    QVERIFY(again.showsCredits());
}

void BoxesTest::aboutCommandReachesTheApplication()
{
    CMainFrame frame;
    QSignalSpy spy(&frame, &CMainFrame::aboutRequested);
    frame.dispatch(Ids::CmdAbout);
    QCOMPARE(spy.count(), 1);
}

QTEST_MAIN(BoxesTest)
#include "test_boxes.moc"
