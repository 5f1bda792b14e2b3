// `make bench` (overlay output, virtual X server): whether Player A's picture keeps moving
// while the UI thread is busy elsewhere. A 60 fps clip that turns black and white with every
// frame plays in Player A; a thread of its own samples one pixel from the X server (XGetImage,
// not through Qt) about every millisecond. Meanwhile Player B opens a 1080p H.264 file, a
// probe player opens 20 files for their length, and Player A is sought. For each disturbance
// the longest time the picture stood still is printed as a ratio to the frame period.
#include "CMediaFiles.h"
#include "CNotifyCatcher.h"
#include "CPixelWatch.h"
#include "CScreenCapture.h"
#include "playback/CMPlayer.h"
#include "support/CLogCapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr double FRAME_MS = 1000.0 / 60.0;

} // namespace

TEST(SteadinessBench, PictureKeepsMovingWhileTheUiThreadWaits) {
    if (!CScreenCapture::IsX11())
        GTEST_SKIP() << "needs the overlay output on an X server";
    CLogCapture capture;
    const QString strBlink = CMediaFiles::Path("blink60.mp4", true);
    const QString strBig = CMediaFiles::Path("bench1080.mp4", true);
    const QString strProbed = CMediaFiles::Path("clip.mp4");
    ASSERT_TRUE(QFile::exists(strBlink) && QFile::exists(strBig) && QFile::exists(strProbed));

    CNotifyCatcher ownerA, ownerB;
    ownerA.resize(640, 360);
    ownerA.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ownerA));
    CMPlayer playerA, playerB, probe;
    ownerA.SetPlayer(&playerA);
    ownerB.SetPlayer(&playerB);
    ASSERT_TRUE(playerA.Init(&ownerA) && playerB.Init(&ownerB) && probe.Init(&ownerB));
    ASSERT_TRUE(playerA.OpenMedia(strBlink));
    playerA.SetVideoRect(QRect(0, 0, 640, 360));
    playerA.ShowVideo(true);
    playerA.Play();
    QTest::qWait(500);

    CPixelWatch watch(ownerA.mapToGlobal(QPoint(320, 180)));
    auto measure = [&](const char *pszWhat, const std::function<void()> &disturb) {
        QTest::qWait(200);
        const qint64 nFrom = watch.Now();
        disturb();
        QTest::qWait(100);
        const double dRatio = watch.LongestStill(nFrom, watch.Now()) / FRAME_MS;
        printf("%-36s longest still picture %.2f frame periods (%lld ms)\n", pszWhat, dRatio,
               static_cast<long long>(watch.Now() - nFrom));
        return dRatio;
    };
    measure("undisturbed 1 s:", [] { QTest::qWait(1000); });
    const double dOpen = measure("Player B opens a 1080p H.264 file:",
                                 [&] { ASSERT_TRUE(playerB.OpenMedia(strBig)); });
    const double dProbe = measure("20 files probed for their length:", [&] {
        for (int i = 0; i < 20; ++i) {
            probe.Init(&ownerB);
            probe.OpenMedia(strProbed);
            probe.GetDuration();
            probe.ReleaseGraph();
        }
    });
    const double dSeek = measure("Player A sought:", [&] { playerA.SetPosition(2000); });
    printf("pixel sampled every %.2f ms; video output %s; target <= 1.5 frame periods\n",
           watch.MeanSamplePeriod(), playerA.GetVideoOutputName());
    fflush(stdout);
    EXPECT_LE(dOpen, 1.5);
    EXPECT_LE(dProbe, 1.5);
    // A seek replaces the picture itself, so its own stall is reported, not judged.
    (void)dSeek;
}
