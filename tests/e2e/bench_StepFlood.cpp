// `make bench`: a controller that steps the playlist five times a second must not hold the
// program. The playlist holds distinct 1080p clips (made here with GStreamer); one controller
// sends /tessaro/next, /tessaro/next, /tessaro/previous, ... over OSC for 5 s while another
// sets the volume over the binary protocol every ~100 ms and times each answer (the "Volume
// set to" text). Each step that opens is reported as any open ("Opening Stream ( x )
// successful.", then the play state it carried over); a step that came while the one before
// still prepared makes way for the newest. The peer is the same program in the same run
// without the steps.
#include "../net/CNetTestBench.h"
#include "CFloodBench.h"
#include "CTessaroProcess.h"

#include <QFile>
#include <QProcess>
#include <QThread>
#include <QUdpSocket>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int kPortBase = 46720; // status 46720, commands 46721, OSC 46722
constexpr int kStepRate = 5;     // steps a second
constexpr int kStepMs = 5000;

// Four seconds of a 1080p H.264 picture with AAC sound, one test pattern per clip.
bool MakeClip(const QString &strPath, const QString &strPattern) {
    const QString strPipeline =
        QString("videotestsrc num-buffers=100 pattern=%1 ! "
                "video/x-raw,width=1920,height=1080,framerate=25/1 ! "
                "x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! mp4mux name=m ! "
                "filesink location=\"%2\" audiotestsrc num-buffers=400 samplesperbuffer=441 ! "
                "audio/x-raw,rate=44100,channels=2 ! audioconvert ! voaacenc ! aacparse ! m.")
            .arg(strPattern, strPath);
    QProcess gst;
    gst.start("gst-launch-1.0", QStringList() << "-q" << QProcess::splitCommand(strPipeline));
    return gst.waitForFinished(180000) && gst.exitStatus() == QProcess::NormalExit &&
           gst.exitCode() == 0 && QFile(strPath).size() > 0;
}

// The playlist of "LastPLS.dat", looped, so that the steps never run off its end.
bool PresetClips(CTessaroProcess &tessaro) {
    QByteArray m3u = "#EXTM3U\r\n";
    for (const char *pszPattern : {"smpte", "ball", "circular", "gradient", "pinwheel", "spokes"}) {
        const QString strPath = tessaro.WorkDir() + QString("/%1-1080.mp4").arg(pszPattern);
        if (!MakeClip(strPath, pszPattern))
            return false;
        m3u += "#EXTINF:4,x\r\n" + strPath.toUtf8() + "\r\n";
    }
    QFile last(tessaro.WorkDir() + "/LastPLS.dat");
    if (!last.open(QIODevice::WriteOnly) || last.write(m3u) != m3u.size())
        return false;
    tessaro.PresetSetting("Playlist/m_CurTrack", 0);
    tessaro.PresetSetting("Playlist/m_LoopList", 1);
    tessaro.PresetSetting("OSC/Port", kPortBase + 2);
    return true;
}

void Report(const char *pszName, const CFloodBench::Figures &fig,
            const CFloodBench::Figures &quiet) {
    printf("%s: answers %zu, p90 %.0f ms, worst %.0f ms (ratio to the quiet program's worst "
           "%.1f); %d steps reported opened, %d started, %d failed\n",
           pszName, fig.answers.size(), fig.Percentile(0.9), fig.Worst(),
           fig.Worst() / std::max(quiet.Worst(), 1.0), fig.nOpened, fig.nStarted, fig.nFailed);
    fflush(stdout);
}

TEST(StepFloodBench, StepsFiveTimesASecondHoldNoOtherController) {
    CTessaroProcess tessaro(kPortBase);
    ASSERT_TRUE(PresetClips(tessaro)) << "gst-launch-1.0 could not make the 1080p clips";
    ASSERT_TRUE(tessaro.Start()) << tessaro.Output().toStdString();
    QUdpSocket listener, sender;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, quint16(tessaro.StatusPort())));
    tessaro.Remote({"-P", "A", "open", ":1"});
    tessaro.Remote({"-P", "A", "play"});
    QThread::msleep(500);
    const CFloodBench::Figures quiet =
        CFloodBench::Measure(listener, sender, tessaro.CommandPort(), 3000, nullptr);

    // Next, Next, Previous, ...: two forward, one back, from one OSC client.
    const CFloodBench::Paced steps{
        [](int i) {
            return CNetTestBench::OscMessage(i % 3 == 2 ? "/tessaro/previous" : "/tessaro/next");
        },
        [](int) { return kPortBase + 2; }, kStepRate * kStepMs / 1000, kStepRate};
    const CFloodBench::Figures fig =
        CFloodBench::FloodWhileMeasuring(listener, sender, tessaro.CommandPort(), steps);

    Report("quiet", quiet, quiet);
    Report("5 steps/s (Next, Next, Previous) over OSC through 1080p clips", fig, quiet);
    EXPECT_LE(fig.Worst(), 300.0);
    EXPECT_LE(fig.Percentile(0.9), 50.0);
    // Every step that opened says so and carries the playing state over; none fails.
    EXPECT_GT(fig.nOpened, 0);
    EXPECT_GE(fig.nStarted, fig.nOpened);
    EXPECT_EQ(fig.nFailed, 0);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

} // namespace
