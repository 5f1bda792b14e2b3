// The show's sound output on real players and real GStreamer: a sink description receives
// both players' sound, a cue output takes the inactive player's and hands it to the main
// output without a gap when that player becomes the active one, and a missing device or a
// broken description falls back with one logbook line. Outputs are files in a temporary
// folder; no sound device is ever opened.
#include "CMediaFiles.h"
#include "CNotifyCatcher.h"
#include "playback/CAudioOutput.h"
#include "playback/CMPlayer.h"
#include "playback/CVideoOutput.h"
#include "support/CLogCapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

constexpr int RATE = 48000;
constexpr int LOUD = 1000; // a sample above this is the tone, not silence (S16)

QString RawFileSink(const QString &strPath) {
    return QStringLiteral("audioconvert ! audio/x-raw,format=S16LE,rate=48000,channels=1 ! "
                          "filesink location=%1")
        .arg(strPath);
}

std::vector<int16_t> ReadSamples(const QString &strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    std::vector<int16_t> samples(size_t(data.size()) / 2);
    memcpy(samples.data(), data.constData(), samples.size() * 2);
    return samples;
}

// Loud samples between two times of the mix (milliseconds from its start).
int LoudBetween(const std::vector<int16_t> &samples, int nFromMs, int nToMs) {
    int nLoud = 0;
    for (size_t i = size_t(nFromMs) * RATE / 1000;
         i < samples.size() && i < size_t(nToMs) * RATE / 1000; ++i)
        nLoud += std::abs(samples[i]) > LOUD;
    return nLoud;
}

class AudioOutputTest : public ::testing::Test {
protected:
    void Start(CAudioOutput::Settings settings) {
        m_pOutput = std::make_unique<CAudioOutput>(std::move(settings));
        for (int i = 0; i < 2; ++i) {
            m_pPlayers[i] =
                std::make_unique<CMPlayer>(QStringLiteral("Player %1").arg(QChar('A' + i)),
                                           CVideoOutput::Create("frames", ""));
            m_pPlayers[i]->SetAudioOutput(m_pOutput.get(), i);
            m_owners[i].SetPlayer(m_pPlayers[i].get());
            ASSERT_TRUE(m_owners[i].InitPlayer(*m_pPlayers[i]));
            ASSERT_TRUE(
                m_pPlayers[i]->OpenMedia(CMediaFiles::Path(i == 0 ? "tone.wav" : "tone.flac")));
        }
    }
    // The players go first, then the mix ends and its files are complete.
    void Finish() {
        for (auto &pPlayer : m_pPlayers)
            pPlayer.reset();
        m_pOutput.reset();
    }
    QString Path(const char *pszName) const { return m_dir.filePath(pszName); }

    CLogCapture m_capture;
    QTemporaryDir m_dir;
    CNotifyCatcher m_owners[2];
    std::unique_ptr<CAudioOutput> m_pOutput;
    std::unique_ptr<CMPlayer> m_pPlayers[2];
};

} // namespace

TEST_F(AudioOutputTest, SinkDescriptionReceivesBothPlayers) {
    CAudioOutput::Settings settings;
    settings.strSink = RawFileSink(Path("main.raw"));
    ASSERT_NO_FATAL_FAILURE(Start(settings));
    EXPECT_TRUE(m_capture.Contains("Audio output: playing to the sink \"audioconvert"));
    // A alone, then B alone: only the two together fill the file with as much tone as both
    // played, whatever the moment the mix started.
    QElapsedTimer clock;
    clock.start();
    m_pPlayers[0]->Play();
    QTest::qWait(600);
    m_pPlayers[0]->Pause();
    const qint64 nAMs = clock.restart();
    m_pPlayers[1]->Play();
    QTest::qWait(600);
    m_pPlayers[1]->Pause();
    const qint64 nBMs = clock.elapsed();
    Finish();

    const std::vector<int16_t> samples = ReadSamples(Path("main.raw"));
    const int nLoudMs = LoudBetween(samples, 0, 100000) * 1000 / RATE;
    EXPECT_GT(nLoudMs, std::max(nAMs, nBMs) + 250) << "A " << nAMs << " ms, B " << nBMs << " ms";
    // A pause under load takes effect late and each player hands its sound on ahead of time:
    // the bound only catches sound taken in twice.
    EXPECT_LT(nLoudMs, nAMs + nBMs + 400);
}

TEST_F(AudioOutputTest, CueTakesTheInactivePlayerAndHandsItOverWithoutAGap) {
    CAudioOutput::Settings settings;
    settings.strSink = RawFileSink(Path("main.raw"));
    settings.strCueSink = RawFileSink(Path("cue.raw"));
    ASSERT_NO_FATAL_FAILURE(Start(settings));
    EXPECT_TRUE(m_capture.Contains("Audio output: the inactive player is heard on the cue sink"));
    m_pOutput->SetActive(0);
    m_pPlayers[1]->Play(); // previewed while A is the active one
    QTest::qWait(700);
    m_pOutput->SetActive(1); // taken: B plays on, now to the main output
    QTest::qWait(700);
    Finish();

    const std::vector<int16_t> main = ReadSamples(Path("main.raw"));
    const std::vector<int16_t> cue = ReadSamples(Path("cue.raw"));
    ASSERT_GT(main.size(), size_t(RATE));
    ASSERT_GT(cue.size(), size_t(RATE));
    // The two mixes run from the same start, so a sample's index is the same moment in both.
    size_t nLastCue = 0, nFirstMain = main.size();
    for (size_t i = 0; i < cue.size(); ++i)
        if (std::abs(cue[i]) > LOUD)
            nLastCue = i;
    for (size_t i = 0; i < main.size() && nFirstMain == main.size(); ++i)
        if (std::abs(main[i]) > LOUD)
            nFirstMain = i;
    ASSERT_GT(nLastCue, size_t(RATE / 4)) << "the cue heard B before the take";
    ASSERT_LT(nFirstMain, main.size()) << "the main output heard B after the take";
    // A sine's samples near its zero crossings count as quiet: a millisecond of slack.
    const long nGap = long(nFirstMain) - long(nLastCue) - 1;
    EXPECT_LE(std::labs(nGap), RATE / 1000) << "gap of " << nGap << " samples at the take";
    RecordProperty("take_gap_samples", int(nGap));
    EXPECT_EQ(LoudBetween(cue, int(nFirstMain * 1000 / RATE) + 5, 100000), 0)
        << "cue after the take";
}

TEST_F(AudioOutputTest, MissingDeviceAndBrokenSinkFallBackWithOneLine) {
    CAudioOutput::Settings settings;
    settings.strDevice = "nowhere:no-such-device";
    settings.strCueSink = "no_such_element ! fakesink";
    ASSERT_NO_FATAL_FAILURE(Start(settings));
    EXPECT_FALSE(m_pOutput->GetMainName().contains("no-such-device"));
    EXPECT_TRUE(m_pOutput->GetCueName().isEmpty());
    int nDeviceLines = 0, nSinkLines = 0;
    for (const CLogCapture::Line &line : m_capture.Lines()) {
        nDeviceLines += line.text.find("no-such-device") != std::string::npos;
        nSinkLines += line.text.find("no_such_element") != std::string::npos;
    }
    EXPECT_EQ(nDeviceLines, 1) << m_capture.Text();
    EXPECT_EQ(nSinkLines, 1) << m_capture.Text();
    EXPECT_TRUE(m_capture.Contains("\"nowhere:no-such-device\" is not there; playing to the "
                                   "default output instead"));
    EXPECT_TRUE(m_capture.Contains("the inactive player is not heard"));
    // And it plays: the players run on the clock into the fallback.
    m_pPlayers[0]->Play();
    EXPECT_TRUE(m_owners[0].WaitFor(CPlayerBase::EC_COMPLETE, 4000));
}
