#include "support/CLogCapture.h"
#include "widgets/CPaintBox.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QImage Canvas(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// Channels may differ by rounding at the ends of a gradient.
void ExpectNear(const QColor &actual, const QColor &expected, int nTolerance = 6) {
    EXPECT_NEAR(actual.red(), expected.red(), nTolerance) << actual.name().toStdString();
    EXPECT_NEAR(actual.green(), expected.green(), nTolerance) << actual.name().toStdString();
    EXPECT_NEAR(actual.blue(), expected.blue(), nTolerance) << actual.name().toStdString();
}

} // namespace

TEST(PaintBox, GradientsRunTopToBottomAndStayInsideTheirRectangle) {
    CPaintBox box;
    box.Init();
    ASSERT_TRUE(box.IsReady());
    QImage image = Canvas(20, 110);
    {
        QPainter painter(&image);
        box.GradientV(painter, QRect(2, 5, 10, 100), QColor(65, 119, 227), QColor(0, 0, 96));
    }
    ExpectNear(image.pixelColor(5, 5), QColor(65, 119, 227));
    ExpectNear(image.pixelColor(5, 104), QColor(0, 0, 96));
    EXPECT_EQ(image.pixelColor(5, 4), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(12, 50), QColor(Qt::black));

    // With no third colour the lower half returns to the first: a symmetric bar.
    QImage bar = Canvas(4, 100);
    {
        QPainter painter(&bar);
        box.GradientV2(painter, QRect(0, 0, 4, 100), QColor(0, 0, 64), QColor(65, 65, 220));
    }
    ExpectNear(bar.pixelColor(1, 0), QColor(0, 0, 64));
    ExpectNear(bar.pixelColor(1, 50), QColor(65, 65, 220));
    ExpectNear(bar.pixelColor(1, 99), QColor(0, 0, 64));
}

TEST(PaintBox, MissingEntryPointsAreLoggedAndFallBack) {
    CLogCapture capture;
    CPaintBox::CEntryPoints noLibrary;
    noLibrary.bLibrary = false;
    CPaintBox box;
    box.Init(noLibrary);
    EXPECT_FALSE(box.IsReady());
    EXPECT_TRUE(capture.Contains("CPaintBox: Could not initialize msimg32.dll"));
    EXPECT_EQ(capture.Lines().back().level, CLogBook::LEVEL_ERROR);

    // The palette is there all the same, and gradients become solid fills.
    EXPECT_EQ(box.Pen(5).color(), QColor(0, 0, 96));
    EXPECT_EQ(box.Brush(9).style(), Qt::NoBrush);
    EXPECT_EQ(box.Font(0).family(), QStringLiteral("MS Sans Serif"));
    QImage image = Canvas(10, 40);
    {
        QPainter painter(&image);
        box.GradientV(painter, QRect(0, 0, 10, 40), QColor(10, 20, 30), QColor(200, 200, 200));
    }
    EXPECT_EQ(image.pixelColor(5, 39), QColor(10, 20, 30));
    EXPECT_EQ(box.SetLayered(nullptr, QColor(), 200), 0u);

    CPaintBox::CEntryPoints noGradient = CPaintBox::PlatformEntryPoints();
    noGradient.pfnGradientFill = nullptr;
    EXPECT_FALSE(box.InitDll(noGradient));
    EXPECT_TRUE(capture.Contains("CPaintBox: GradientFill() not found"));

    CPaintBox::CEntryPoints noBlit = CPaintBox::PlatformEntryPoints();
    noBlit.pfnTransparentBlt = nullptr;
    EXPECT_FALSE(box.InitDll(noBlit));
    EXPECT_TRUE(capture.Contains("CPaintBox: dllfunc_TransparentBlt() not found"));
    // Drawing without the keyed blit still shows the picture.
    QPixmap src(4, 4);
    src.fill(QColor(255, 0, 255));
    QImage target = Canvas(4, 4);
    {
        QPainter painter(&target);
        box.TransparentBlt(painter, 0, 0, 4, 4, src, 0, 0, 4, 4, QColor(255, 0, 255));
    }
    EXPECT_EQ(target.pixelColor(1, 1), QColor(255, 0, 255));

    // Layered windows alone may be missing without harm.
    CPaintBox::CEntryPoints noLayered = CPaintBox::PlatformEntryPoints();
    noLayered.pfnSetLayered = nullptr;
    EXPECT_TRUE(box.InitDll(noLayered));
    QWidget window;
    EXPECT_EQ(box.SetLayered(&window, QColor(0, 0, 0), 224), 0u);
}

TEST(PaintBox, TransparentBltLeavesOutExactlyTheKeyColourAndScales) {
    CPaintBox box;
    box.InitDll();
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(QColor(255, 0, 255));
    picture.setPixelColor(0, 0, QColor(200, 10, 10));
    picture.setPixelColor(1, 0, QColor(254, 0, 255)); // near the key, but not it
    const QPixmap src = QPixmap::fromImage(picture);

    QImage target = Canvas(8, 4);
    {
        QPainter painter(&target);
        box.TransparentBlt(painter, 0, 0, 8, 4, src, 0, 0, 4, 2, QColor(255, 0, 255));
    }
    EXPECT_EQ(target.pixelColor(0, 0), QColor(200, 10, 10));
    EXPECT_EQ(target.pixelColor(1, 1), QColor(200, 10, 10));
    EXPECT_EQ(target.pixelColor(2, 0), QColor(254, 0, 255));
    EXPECT_EQ(target.pixelColor(6, 2), QColor(Qt::black));
}

namespace {
// Black on its left half, white on its right.
class CHalfBlackWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.fillRect(0, 0, width() / 2, height(), Qt::black);
    }
};
} // namespace

TEST(PaintBox, SetLayeredAppliesOnlyTheFlagsItIsGiven) {
    CPaintBox box;
    box.InitDll();
    CHalfBlackWidget alphaOnly;
    alphaOnly.resize(20, 10);
    EXPECT_EQ(box.SetLayered(&alphaOnly, QColor(), 200), CPaintBox::LWA_ALPHA);
    EXPECT_NEAR(alphaOnly.windowOpacity(), 200 / 255.0, 0.01);
    EXPECT_TRUE(alphaOnly.mask().isEmpty());

    // The black half is cut out of the window's shape.
    CHalfBlackWidget keyOnly;
    keyOnly.resize(20, 10);
    EXPECT_EQ(box.SetLayered(&keyOnly, QColor(0, 0, 0), -1), CPaintBox::LWA_COLORKEY);
    EXPECT_DOUBLE_EQ(keyOnly.windowOpacity(), 1.0);
    EXPECT_EQ(keyOnly.mask(), QRegion(10, 0, 10, 10));

    CHalfBlackWidget both;
    both.resize(20, 10);
    EXPECT_EQ(box.SetLayered(&both, QColor(0, 0, 0), 224),
              CPaintBox::LWA_COLORKEY | CPaintBox::LWA_ALPHA);

    // A window that is all key colour would vanish; it keeps its shape instead.
    QWidget blank;
    blank.setPalette(QPalette(Qt::black));
    blank.setAutoFillBackground(true);
    blank.resize(20, 10);
    box.SetLayered(&blank, QColor(0, 0, 0), -1);
    EXPECT_TRUE(blank.mask().isEmpty());
}
