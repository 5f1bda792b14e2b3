#include "support/CLogCapture.h"
#include "widgets/CPaintBox.h"

#include <QImage>
#include <QPainter>
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
