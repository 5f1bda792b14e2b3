#include "support/CLogCapture.h"
#include "widgets/CResourceBitmap.h"

#include <QImage>
#include <gtest/gtest.h>

TEST(ResourceBitmap, RendersAtNaturalOrRequestedSizeAndLogsMissingPictures) {
    CLogCapture capture;
    const QPixmap splash = CResourceBitmap::Load(361);
    ASSERT_FALSE(splash.isNull());
    EXPECT_EQ(splash.size(), QSize(600, 260));
    // The splash's surroundings are black, the colour its window keys out.
    EXPECT_EQ(splash.toImage().pixelColor(1, 1), QColor(0, 0, 0));
    EXPECT_NE(splash.toImage().pixelColor(300, 130), QColor(0, 0, 0));

    EXPECT_EQ(CResourceBitmap::Load(195).size(), QSize(120, 240));
    EXPECT_EQ(CResourceBitmap::Load(195, QSize(60, 120)).size(), QSize(60, 120));

    EXPECT_TRUE(CResourceBitmap::Load(99999).isNull());
    EXPECT_TRUE(capture.Contains("CResourceBitmap::Load(): bitmap 99999 not found"));
}

// A picture that contains its widget's key colour would show holes where it is blitted.
TEST(ResourceBitmap, EveryWidgetPictureExistsAndAvoidsItsKeyColour) {
    const QColor barKey(30, 54, 156), magenta(255, 0, 255);
    std::vector<std::pair<int, QColor>> pictures;
    for (int id : {134, 135, 136, 137, 138, 139, 140, 141, 142, 144, 145, 146, 149, 152,
                   153, 154, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165, 166})
        pictures.emplace_back(id, barKey);
    for (int id : {147, 150, 151, 171, 172, 173, 174, 175, 176, 177, 178, 179, 183, 184, 185, 186,
                   188, 189, 190})
        pictures.emplace_back(id, magenta);
    for (const auto &[id, key] : pictures) {
        const QImage image =
            CResourceBitmap::Load(id).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull()) << id;
        int nKeyPixels = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                nKeyPixels += image.pixel(x, y) == key.rgba();
        EXPECT_EQ(nKeyPixels, 0) << id;
    }
    EXPECT_EQ(CResourceBitmap::Load(183).size(), QSize(48, 16));
}
