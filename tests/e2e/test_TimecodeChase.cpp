// The program chasing Art-Net timecode, as a desk drives it: a 25 fps clip in Player A, the
// timecode from 00:00:11:00 against an Offset of 00:00:10:00. The player locks at once and
// stands on the frame it reached once the timecode stops (the logbook says both); the frame
// accuracy itself is the chase's own test's (tests/engine) and bench_chase's.
#include "../../remote/CArtTimeCode.h"
#include "CTessaroProcess.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int kPortBase = 46870; // status 46870, commands 46871, Art-Net 46873

TEST(TimecodeChase, ArtNetTimecodeLocksThePlayerAndAStopPausesIt) {
    QTemporaryDir media;
    const QString strClip = media.filePath("count25.mp4");
    ASSERT_EQ(QProcess::execute("gst-launch-1.0",
                                {"-q", "videotestsrc", "num-buffers=250", "pattern=smpte", "!",
                                 "video/x-raw,framerate=25/1,width=160,height=120", "!", "x264enc",
                                 "speed-preset=ultrafast", "!", "mp4mux", "!", "filesink",
                                 "location=" + strClip}),
              0);
    CTessaroProcess tessaro(kPortBase);
    tessaro.PresetSetting("Network/BindAddress", "127.0.0.1");
    tessaro.PresetSetting("Timecode/Source", "artnet");
    tessaro.PresetSetting("Timecode/Offset", "00:00:10:00");
    tessaro.PresetSetting("Timecode/ArtNetPort", kPortBase + 3);
    ASSERT_TRUE(tessaro.Start({"--headless", strClip}));
    ASSERT_TRUE(tessaro.WaitForEventLoop(20000)) << tessaro.Output().toStdString();

    QUdpSocket desk;
    QElapsedTimer paced;
    paced.start();
    for (int nFrame = 11 * 25; nFrame < 13 * 25; ++nFrame) {
        const std::vector<uint8_t> packet =
            CArtTimeCode::Encode(CTimecode::FromFrameCount(nFrame, CTimecode::Rate::Ebu25));
        desk.writeDatagram(reinterpret_cast<const char *>(packet.data()), qint64(packet.size()),
                           QHostAddress("127.0.0.1"), quint16(kPortBase + 3));
        QTest::qWait(int((nFrame - 11 * 25 + 1) * 40 - paced.elapsed()));
    }
    QTest::qWait(1500);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    const QString strLog = tessaro.Output();
    EXPECT_TRUE(strLog.contains("Timecode: locked at 00:00:11:00.")) << strLog.toStdString();
    EXPECT_TRUE(strLog.contains("Timecode: lost; pausing after 00:00:12:24."))
        << strLog.toStdString();
    EXPECT_FALSE(strLog.contains("relocked")) << strLog.toStdString();
}

} // namespace
