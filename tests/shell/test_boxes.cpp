// The splash and About boxes: their painted face, the splash timer, the credits page.

#include "shell/about_box.h"
#include "shell/box_painting.h"
#include "shell/main_frame.h"
#include "shell/splash_box.h"

#include <QDir>
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

// The bands of the face in the client area `c`: the top band right of the logo and under the
// title, the bottom band across, the left column from 30 down, the strip above the bottom band.
void checkBands(const QImage &image, const QRect &c, const QColor &background)
{
    const int l = c.left(), t = c.top(), r = c.right() + 1, b = c.bottom() + 1;
    const QColor band(100, 0, 180), column(255, 200, 100), strip(255, 255, 0);
    for (int x = l; x < r; x += 5) {
        QVERIFY(image.pixelColor(x, b - 1) == band && image.pixelColor(x, b - 3) == band);
        QVERIFY(x < l + 82 || (image.pixelColor(x, t) == band && image.pixelColor(x, t + 39) == band));
    }
    const std::pair<QPoint, QColor> points[] = {
        {{l + 79, t + 60}, column}, {{l + 1, b - 21}, column}, {{r - 2, b - 6}, strip}, {{r - 2, b - 20}, strip},
        {{r - 1, t + 40}, background}, {{l + 80, t + 60}, background}, {{r - 2, b - 21}, background}};
    for (const auto &[point, colour] : points)
        QCOMPARE(image.pixelColor(point), colour);
}

}  // namespace

class BoxesTest : public QObject
{
    Q_OBJECT

private slots:
    // Close hides the splash at once; its timer shows the window unless Hide put it into the tray.
    void splashFaceCloseAndTimer()
    {
        CMainFrame frame;
        auto *splash = new CSplashBox(&frame, 1000);
        splash->showCentred();
        checkBands(face(*splash, "splash.png"), splash->clientRect(), QColor(255, 255, 200));
        QTest::mouseClick(splash->closeButton(), Qt::LeftButton);
        QVERIFY(!splash->isVisible() && !frame.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(frame.isVisible(), 5000);

        // The face painted ahead on another thread is the face the box paints, and the box
        // draws it while it fits (here marked with one red pixel to tell it apart).
        CFacedBox::PaintedFace ahead = CSplashBox::paintFaceAhead().get();
        splash->logo()->hide();
        splash->closeButton()->hide();
        QCOMPARE(ahead.image.convertToFormat(QImage::Format_RGB32), face(*splash));
        ahead.image.setPixelColor(5, 5, Qt::red);
        std::promise<CFacedBox::PaintedFace> marked;
        marked.set_value(ahead);
        splash->usePaintedFace(marked.get_future().share());
        QCOMPARE(face(*splash).pixelColor(5, 5), QColor(Qt::red));

        auto *again = new CSplashBox(&frame, 100);
        again->showCentred();
        frame.hide();
        frame.trayIcon()->show();
        QTRY_VERIFY_WITH_TIMEOUT(!again->timer().isActive(), 5000);
        QVERIFY(!again->isVisible() && !frame.isVisible());
    }

    void aboutEscapeShowsCreditsOnce()
    {
        CAboutBox about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about) && !about.showsCredits() && !about.creditsButton()->isVisible());
        const QImage before = face(about, "about.png");
        checkBands(before, about.clientRect(), QColor(255, 255, 220));
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(about.isVisible() && about.showsCredits() && face(about) != before);
        QCOMPARE(BoxFace::creditLines().value(0), QStringLiteral("Orvanto  3.0 Team:"));
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(about.isVisible() && about.showsCredits());
        QTest::mouseClick(about.closeButton(), Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
        CAboutBox again;  // every box starts on the attribution page; Ctrl+Alt+Shift+A shows the credits too
        again.show();
        again.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&again) && !again.showsCredits());
        QTest::keyClick(&again, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
        QVERIFY(again.showsCredits());
    }
};

QTEST_MAIN(BoxesTest)
#include "test_boxes.moc"
