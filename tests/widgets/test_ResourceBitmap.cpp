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
