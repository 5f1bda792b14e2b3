// `make bench`: how long the picture stands still while the operator works. Player A plays a
// 60 fps clip whose colour changes with every frame; meanwhile Player B opens a 1080p file,
// twenty files are imported into the playlist through the real probe player, and Player A
// seeks. A thread with its own X connection reads a few pixels at the picture's centre from
// the X server every millisecond, so what is measured is what the screen shows, whoever
// draws it. For each disturbance (and for a quiet stretch as the baseline) the longest time
// the colour did not change is printed as a ratio to the frame period.
//
// The video output under test is named by TESSARO_VIDEO_OUTPUT (default "frames"); it is
// handed to the view as the Video/Output setting.
#include "CColourClip.h"
#include "CScreenSampler.h"
#include "app/CVideoView.h"
#include "core/CGeneralSettings.h"
#include "core/CRecentFileList.h"
#include "engine/CShowEngine.h"
#include "playback/CMPlayer.h"
#include "playback/CMediaProbe.h"
#include "playlist/CImportRunner.h"
#include "playlist/CPlaylistCtrl.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "support/CScriptedModalUI.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int CLIP_FPS = 60;
constexpr int CLIP_SECONDS = 20;
constexpr int CLIP_WIDTH = 640, CLIP_HEIGHT = 360;
constexpr double FRAME_MS = 1000.0 / CLIP_FPS;
constexpr int IMPORT_COUNT = 20;

int64_t NowNs() {
    return CScreenSampler::NowNs();
}

bool RunDescription(const QString &strDescription) {
    GstElement *pPipeline = CColourClip::Parse(strDescription);
    if (!pPipeline)
        return false;
    const bool bDone = CColourClip::RunToEnd(pPipeline);
    gst_object_unref(pPipeline);
    return bDone;
}

QString H264Tail(const QString &strPath) {
    return QStringLiteral("x264enc speed-preset=ultrafast key-int-max=60 ! mp4mux ! "
                          "filesink location=\"%1\"")
        .arg(strPath);
}

struct Stretch {
    const char *pszName;
    int64_t nFrom, nTo;
    double callMs; // how long the disturbing call held the UI thread (the import: all steps)
};

struct Stillness {
    double longestMs = 0;
    double samplerGapMs = 0; // the sampler's own longest pause in the stretch
    int nChanges = 0;
};

// A run of one colour lasts from the change that began it to the next change. The figure of
// a stretch is the longest run that ends in it; a run still going at its end counts up to
// there, so a stall that began just before a disturbance is charged to it, not to the
// stretch before.
Stillness LongestStill(const std::vector<CScreenSampler::Sample> &samples, const Stretch &s) {
    Stillness result;
    const auto account = [&](int64_t nBegin, int64_t nEnd) {
        if (nEnd < s.nFrom || nBegin > s.nTo)
            return;
        result.longestMs = std::max(result.longestMs, (std::min(nEnd, s.nTo) - nBegin) / 1e6);
        if (nEnd <= s.nTo)
            ++result.nChanges;
    };
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].ns >= s.nFrom && samples[i].ns <= s.nTo)
            result.samplerGapMs =
                std::max(result.samplerGapMs, (samples[i].ns - samples[i - 1].ns) / 1e6);
    }
    size_t nRun = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (!CColourClip::SameColour(samples[i].rgb, samples[nRun].rgb)) {
            account(samples[nRun].ns, samples[i].ns);
            nRun = i;
        }
    }
    if (!samples.empty())
        account(samples[nRun].ns, samples.back().ns);
    return result;
}

TEST(OutputBench, PictureKeepsMovingWhileTheOperatorWorks) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server and QT_QPA_PLATFORM=xcb (CTest runs it in xvfb-run)";
    const QString strOutput = qEnvironmentVariableIsEmpty("TESSARO_VIDEO_OUTPUT")
                                  ? QStringLiteral("frames")
                                  : qEnvironmentVariable("TESSARO_VIDEO_OUTPUT");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strClip = dir.filePath("colours.mp4");
    const QString strBig = dir.filePath("big1080.mp4");
    const QString strSmall = dir.filePath("small.mp4");
    ASSERT_TRUE(CColourClip::Write(strClip, 0, CLIP_FPS * CLIP_SECONDS, CLIP_FPS, CLIP_WIDTH,
                                   CLIP_HEIGHT, false));
    ASSERT_TRUE(RunDescription("videotestsrc num-buffers=30 pattern=smpte ! "
                               "video/x-raw,width=1920,height=1080,framerate=30/1 ! " +
                               H264Tail(strBig)));
    ASSERT_TRUE(RunDescription("videotestsrc num-buffers=30 pattern=ball ! "
                               "video/x-raw,width=320,height=240,framerate=30/1 ! " +
                               H264Tail(strSmall)));
    QStringList imports;
    ASSERT_TRUE(QDir(dir.path()).mkpath("import"));
    for (int i = 0; i < IMPORT_COUNT; ++i) {
        imports << dir.filePath(QStringLiteral("import/clip%1.mp4").arg(i, 2, 10, QChar('0')));
        ASSERT_TRUE(QFile::copy(strSmall, imports.back()));
    }

    CLogCapture log;
    CMemoryProfile profile;
    profile.WriteProfileString("Video", "Output", strOutput);
    profile.WriteProfileInt("Video", "ZoomLevel", 0); // fitted to the window
    CRecordingSink sink;
    CScriptedModalUI ui;
    CGeneralSettings settings(profile);
    CRecentFileList recent(profile);

    CShowEngine engine([&](int nID) { return CMPlayer::ForShow(nID, profile); }, ui);
    CVideoView view(engine, profile);
    view.setGeometry(0, 0, 800, 600);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.OnInitialUpdate(false);

    // The playlist's progress dialog opens over this window, well away from the picture.
    QWidget panel;
    panel.setGeometry(900, 620, 300, 120);
    panel.show();
    CPlaylistCtrl playlist(dir.path(), profile, settings, recent, CMediaProbe::Create());
    playlist.Initialize();
    CImportRunner import(playlist, &panel);

    ASSERT_TRUE(engine.OpenMedia(strClip, 0));
    view.ZoomToFit();
    engine.Play(0);
    CScreenSampler sampler;
    ASSERT_TRUE(sampler.Start(view.mapToGlobal(view.rect().center())));

    std::vector<Stretch> stretches;
    QTest::qWait(1000); // past the start of playback
    const int64_t nIdle = NowNs();
    QTest::qWait(1000);
    stretches.push_back({"idle", nIdle, NowNs(), 0});

    const int64_t nOpen = NowNs();
    EXPECT_TRUE(engine.OpenMedia(strBig, 1));
    const double openMs = (NowNs() - nOpen) / 1e6;
    QTest::qWait(500);
    stretches.push_back({"open_b", nOpen, NowNs(), openMs});
    QTest::qWait(500);

    const int64_t nImport = NowNs();
    import.AddFiles(imports, -1);
    for (int i = 0; i < 6000 && import.IsRunning(); ++i)
        QTest::qWait(5);
    EXPECT_FALSE(import.IsRunning());
    const double importMs = (NowNs() - nImport) / 1e6;
    QTest::qWait(300);
    stretches.push_back({"import", nImport, NowNs(), importMs});
    QTest::qWait(500);

    const int64_t nSeek = NowNs();
    engine.SetPosition(0, 2000);
    const double seekMs = (NowNs() - nSeek) / 1e6;
    QTest::qWait(500);
    stretches.push_back({"seek", nSeek, NowNs(), seekMs});
    QTest::qWait(200);
    sampler.Stop();
    engine.Stop(0);

    EXPECT_EQ(playlist.GetItemCount(), IMPORT_COUNT);
    const auto &samples = sampler.Samples();
    ASSERT_FALSE(samples.empty());
    const double seconds = (samples.back().ns - samples.front().ns) / 1e9;
    printf("%zu samples in %.1f s (%.2f ms apart on average)\n", samples.size(), seconds,
           seconds * 1000 / samples.size());

    QString strLine = "output=" + strOutput;
    // The baseline goes last on the line, as in the figures it is compared with.
    std::rotate(stretches.begin(), stretches.begin() + 1, stretches.end());
    for (const Stretch &s : stretches) {
        const Stillness still = LongestStill(samples, s);
        printf("%-7s %5.0f ms (call %5.1f ms): longest still %6.1f ms, %3d changes, sampler "
               "paused up to %.1f ms\n",
               s.pszName, (s.nTo - s.nFrom) / 1e6, s.callMs, still.longestMs, still.nChanges,
               still.samplerGapMs);
        strLine +=
            QStringLiteral(" %1=%2").arg(s.pszName).arg(still.longestMs / FRAME_MS, 0, 'f', 1);
        EXPECT_GT(still.nChanges, 0) << s.pszName << ": the picture never moved";
        if (strOutput == QLatin1String("overlay")) {
            EXPECT_LE(still.longestMs / FRAME_MS, 1.5) << s.pszName;
        }
    }
    // A sampler pause longer than a frame (a busy machine) can lengthen a still by as much.
    printf("%s (longest still / frame period %.1f ms)\n", qPrintable(strLine), FRAME_MS);
}

} // namespace
