// The splash and About boxes: their painted face, the splash timer, the credits page.

#include "shell/about_box.h"
#include "shell/box_painting.h"
#include "shell/main_frame.h"
#include "shell/splash_box.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

// The box's face as rendered; saved as a screenshot when ORVANTO_SCREENSHOT_DIR is set.
QImage face(QWidget &box, const char *screenshot = nullptr)
{
    const QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (const QString dir = qEnvironmentVariable("ORVANTO_SCREENSHOT_DIR"); screenshot && !dir.isEmpty())
        image.save(QDir(dir).filePath(QLatin1String(screenshot)));
    return image;
}

// The fixed bands of the face on an image whose client area is `c`.
void checkBands(const QImage &image, const QRect &c, const QColor &background)
{
    const int l = c.left(), t = c.top(), r = c.right() + 1, b = c.bottom() + 1;
    const QColor band(100, 0, 180), column(255, 200, 100), strip(255, 255, 0);
    // The top band right of the logo and below the title's glyphs; the bottom band across.
    for (int x = l + 82; x < r; x += 7)
        QVERIFY(image.pixelColor(x, t) == band && image.pixelColor(x, t + 39) == band);
    for (int x = l; x < r; x += 5)
        QVERIFY(image.pixelColor(x, b - 1) == band && image.pixelColor(x, b - 3) == band);
    // The left column from 30 down, the strip above the bottom band, the face elsewhere.
    const std::pair<QPoint, QColor> points[] = {
        {{l + 40, t + 100}, column},   {{l + 79, t + 60}, column},    {{l + 1, b - 21}, column},
        {{r - 2, b - 6}, strip},       {{r - 2, b - 20}, strip},      {{r - 1, t + 40}, background},
        {{l + 80, t + 60}, background}, {{r - 2, b - 21}, background}, {{r - 5, t + 60}, background}};
    for (const auto &[point, colour] : points)
        QCOMPARE(image.pixelColor(point), colour);
}

}  // namespace

class BoxesTest : public QObject
{
    Q_OBJECT

private slots:
    void splashFaceAndTimer();
    void splashCloseHidesAtOnce();
    void splashLeavesAFrameInTheTrayHidden();
    void aboutEscapeShowsCreditsOnce();
};

void BoxesTest::splashFaceAndTimer()
{
    CMainFrame frame;
    QCOMPARE(CSplashBox(&frame).timer().interval(), 10000);
    auto *splash = new CSplashBox(&frame, 1500);
    splash->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(splash));
    const QImage image = face(*splash, "splash.png");
    checkBands(image, splash->clientRect(), QColor(255, 255, 200));
    QCOMPARE(splash->logo()->geometry(), QRect(1, 1, 80, 40));
    QCOMPARE(BoxFace::title(), QStringLiteral("          Orvanto 3.0"));
    // The timer hides the box and shows the main window.
    QVERIFY(!frame.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!splash->isVisible(), 5000);
    QVERIFY(frame.isVisible());
}

void BoxesTest::splashCloseHidesAtOnce()
{
    CMainFrame frame;
    auto *splash = new CSplashBox(&frame, 200);
    splash->showCentred();
    QTest::mouseClick(splash->closeButton(), Qt::LeftButton);
    QVERIFY(!splash->isVisible() && !frame.isVisible());
    // The timer still shows the main window.
    QTRY_VERIFY_WITH_TIMEOUT(frame.isVisible(), 5000);
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
    QTRY_VERIFY_WITH_TIMEOUT(!splash->timer().isActive(), 5000);
    QVERIFY(!splash->isVisible() && !frame.isVisible());
    frame.trayIcon()->hide();
}

void BoxesTest::aboutEscapeShowsCreditsOnce()
{
    CAboutBox about;
    about.show();
    about.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QVERIFY(!about.showsCredits() && !about.creditsButton()->isVisible());
    const QImage before = face(about, "about.png");
    checkBands(before, about.clientRect(), QColor(255, 255, 220));

    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isVisible() && about.showsCredits());
    const QImage credits = face(about);
    QVERIFY(credits != before);
    checkBands(credits, about.clientRect(), QColor(255, 255, 220));
    QCOMPARE(BoxFace::creditLines().value(0), QStringLiteral("Orvanto  3.0 Team:"));
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QCOMPARE(face(about), credits);

    QTest::mouseClick(about.closeButton(), Qt::LeftButton);
    QCOMPARE(about.result(), int(QDialog::Accepted));
    // Every run starts on the attribution page; Ctrl+Alt+Shift+A shows the credits too.
    CAboutBox again;
    again.show();
    again.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&again));
    QVERIFY(!again.showsCredits());
    QTest::keyClick(&again, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(again.showsCredits());
}

QTEST_MAIN(BoxesTest)
#include "test_boxes.moc"
