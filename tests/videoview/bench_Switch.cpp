// `make bench`: how fast a player switch shows the other player's picture. Both players hold
// media; each of 100 switches is timed from the call to the first repaint of the view that
// shows the newly active picture, and every repaint in between that shows black is counted.
// The peer is the clip's own frame period (40 ms at 25 fps): a switch must not take longer
// than one frame. Runs on both video outputs; on the overlay one the picture is read back from
// the (virtual) X server.
#include "../playback/CMediaFiles.h"
#include "../playback/CScreenCapture.h"

#include "app/CVideoView.h"
#include "engine/CShowEngine.h"
#include "playback/CMPlayer.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CScriptedModalUI.h"

#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

enum class Seen { Black, Red, Green, Other };

Seen Classify(QRgb rgb) {
    const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    if (r < 40 && g < 40 && b < 40)
        return Seen::Black;
    if (r > 180 && g < 80 && b < 80)
        return Seen::Red;
    if (g > 80 && r < 80 && b < 80)
        return Seen::Green;
    return Seen::Other;
}

TEST(SwitchBench, TheOtherPictureAppearsWithinOneFrameAndNeverBlack) {
    CLogCapture log;
    CMemoryProfile profile;
    CScriptedModalUI ui;
    CShowEngine engine([&](int nID) { return CMPlayer::ForShow(nID, profile); }, ui);
    CVideoView view(engine, profile);
    view.resize(640, 480);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.OnInitialUpdate(false);
    ASSERT_TRUE(engine.OpenMedia(CMediaFiles::Path("red.mp4"), 0));
    ASSERT_TRUE(engine.OpenMedia(CMediaFiles::Path("still.bmp"), 1));
    engine.Pause(0);
    engine.Pause(1);
    QTest::qWait(300);
    const QPoint centre(320, 240);

    std::vector<double> times;
    int nBlack = 0, nTimeouts = 0;
    for (int i = 0; i < 100; ++i) {
        const int nTarget = (i % 2 == 0) ? 1 : 0;
        const Seen want = nTarget == 1 ? Seen::Green : Seen::Red;
        QElapsedTimer timer;
        timer.start();
        engine.SetActivePlayer(nTarget);
        bool bSeen = false;
        while (timer.elapsed() < 1000) {
            QCoreApplication::processEvents();
            const Seen seen = Classify(CScreenCapture::PixelOf(&view, centre));
            if (seen == want) {
                bSeen = true;
                break;
            }
            if (seen == Seen::Black)
                ++nBlack;
        }
        if (!bSeen)
            ++nTimeouts;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2], maximum = times.back();
    const double frame = 40.0;
    printf("video output: %s\n", CScreenCapture::IsX11() ? "overlay" : "frames");
    printf("switch to picture: median %.2f ms, max %.2f ms over %zu switches\n", median, maximum,
           times.size());
    printf("ratio to one frame period (40 ms): median %.3f, max %.3f\n", median / frame,
           maximum / frame);
    printf("black repaints between call and picture: %d; switches without picture: %d\n", nBlack,
           nTimeouts);
    EXPECT_EQ(nTimeouts, 0);
    EXPECT_EQ(nBlack, 0);
    EXPECT_LE(median, frame);
}

} // namespace
