// Player rules that need no playing media: video placement, ID3v1 titles, log lines and the
// behaviour of a player without a loaded file.
#include "CMediaFiles.h"
#include "playback/CId3Tag.h"
#include "playback/CMPlayer.h"
#include "playback/CStillImageDetector.h"
#include "support/CLogCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QByteArray Tag(const QByteArray &title, const QByteArray &artist) {
    QByteArray tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, std::min<qsizetype>(30, title.size()), title.left(30));
    tag.replace(33, std::min<qsizetype>(30, artist.size()), artist.left(30));
    return tag;
}

QString Write(const QTemporaryDir &dir, const QString &strName, const QByteArray &bytes) {
    QString strPath = dir.filePath(strName);
    QFile file(strPath);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return strPath;
}

// Opening fails on these byte soups, but the title is built before the file is rendered.
QString TitleOf(const QString &strPath) {
    CLogCapture capture;
    CMPlayer player;
    player.OpenMedia(strPath);
    return player.GetTitle();
}

class CDepthPlayer : public CMPlayer {
public:
    explicit CDepthPlayer(int nDepth) : m_nDepth(nDepth) {}

protected:
    int GetScreenDepth() const override { return m_nDepth; }

private:
    int m_nDepth;
};

} // namespace

TEST(FitVideoRect, PlacesTheVideoAspectCorrectAndCentred) {
    EXPECT_EQ(CMPlayer::FitVideoRect(QRect(0, 0, 640, 480), 1280, 720), QRect(0, 60, 640, 359));
    EXPECT_EQ(CMPlayer::FitVideoRect(QRect(0, 0, 800, 400), 640, 480), QRect(133, 0, 533, 400));
    EXPECT_EQ(CMPlayer::FitVideoRect(QRect(0, 0, 1280, 720), 1280, 720), QRect(0, 0, 1280, 719));
    EXPECT_EQ(CMPlayer::FitVideoRect(QRect(0, 0, 800, 600), 720, 576), QRect(25, 0, 750, 600));
    // The box's own offset is kept.
    EXPECT_EQ(CMPlayer::FitVideoRect(QRect(10, 20, 640, 480), 1280, 720), QRect(10, 80, 640, 359));
}

TEST(Id3Tag, CutsFieldsAt29CharactersAndTrimsBlanks) {
    CId3Tag tag;
    ASSERT_TRUE(tag.Parse(Tag("123456789012345678901234567890", "Band   ")));
    EXPECT_EQ(tag.GetTitle(), "12345678901234567890123456789");
    EXPECT_EQ(tag.GetArtist(), "Band");
    ASSERT_TRUE(tag.Parse(Tag("Tune", "     ")));
    EXPECT_EQ(tag.GetArtist(), "");
    EXPECT_FALSE(tag.Parse(Tag("Tune", "Band").replace(0, 3, "TAX")));
    EXPECT_FALSE(tag.Parse(QByteArray(127, 'x')));
    EXPECT_EQ(tag.GetTitle(), "");
    // Latin-1 text
    ASSERT_TRUE(tag.Parse(Tag("Caf\xe9", "B")));
    EXPECT_EQ(tag.GetTitle(), QString::fromUtf8("Caf\xc3\xa9"));
}

TEST(Id3Tag, ReadsTheLast128BytesOnly) {
    QTemporaryDir dir;
    CId3Tag tag;
    EXPECT_FALSE(tag.Read(dir.filePath("missing.mp3")));
    EXPECT_FALSE(tag.Read(Write(dir, "short.mp3", "TAG")));
    EXPECT_TRUE(tag.Read(Write(dir, "long.mp3", QByteArray(1000, 'a') + Tag("T", "A"))));
    EXPECT_EQ(tag.GetTitle(), "T");
    // A tag followed by other bytes is not at the end.
    EXPECT_FALSE(tag.Read(Write(dir, "moved.mp3", Tag("T", "A") + QByteArray(10, 'x'))));
}

TEST(PlayerTitle, ArtistAndTitleOnlyFromLowerCaseMp3WithBothFields) {
    QTemporaryDir dir;
    const QByteArray audio(600, '\x55');
    EXPECT_EQ(TitleOf(Write(dir, "song.mp3", audio + Tag("Tune", "Band"))), "Band - Tune");
    EXPECT_EQ(TitleOf(Write(dir, "empty.mp3", audio + Tag("Tune", ""))), "empty.mp3");
    EXPECT_EQ(TitleOf(Write(dir, "blank.mp3", audio + Tag("Tune", "    "))), "blank.mp3");
    EXPECT_EQ(TitleOf(Write(dir, "notitle.mp3", audio + Tag("  ", "Band"))), "notitle.mp3");
    EXPECT_EQ(TitleOf(Write(dir, "untagged.mp3", audio)), "untagged.mp3");
    EXPECT_EQ(TitleOf(Write(dir, "song.MP3", audio + Tag("Tune", "Band"))), "song.MP3");
    EXPECT_EQ(TitleOf(Write(dir, "song.mp3.wav", audio + Tag("Tune", "Band"))), "song.mp3.wav");
    EXPECT_EQ(TitleOf(Write(dir, "long.mp3", audio + Tag(QByteArray(30, 'T'), "B"))),
              "B - " + QString(29, 'T'));
}

TEST(PlayerTitle, RealMp3FilesOpenWithTheirTitle) {
    CLogCapture capture;
    CMPlayer player;
    ASSERT_TRUE(player.OpenMedia(CMediaFiles::Path("song.mp3")));
    EXPECT_EQ(player.GetTitle(), "Band - Tune");
    EXPECT_EQ(player.GetFileName(), "song.mp3");
    EXPECT_EQ(player.GetFilePath(), CMediaFiles::Path("song.mp3"));
    ASSERT_TRUE(player.OpenMedia(CMediaFiles::Path("plain.mp3")));
    EXPECT_EQ(player.GetTitle(), "plain.mp3");
}

TEST(LogResult, JoinsErrorTextAndMessageAtTheGivenLevel) {
    CLogCapture capture;
    EXPECT_TRUE(CMPlayer::LogResult(2, nullptr, "never written\n"));
    EXPECT_FALSE(CMPlayer::LogResult(2, "Broken", "Init: CoCreateInstance() failed\n"));
    EXPECT_FALSE(CMPlayer::LogResult(0, "Silent", "nothing\n"));
    EXPECT_FALSE(CMPlayer::LogResult(7, "Other", "level\n"));
    // Without a message the error text stands alone, with no line break of its own.
    EXPECT_FALSE(CMPlayer::LogResult(1, "Odd", nullptr));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "Broken | Init: CoCreateInstance() failed");
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_EQ(lines[1].text, "Other | level");
    EXPECT_EQ(lines[1].level, 1);
    EXPECT_EQ(lines[2].text, "Odd");
    EXPECT_EQ(lines[2].level, 1);
}

TEST(PlayerWithoutMedia, AnswersUnknownAndIgnoresCommands) {
    CLogCapture capture;
    CMPlayer player;
    long lCode, l1, l2;
    EXPECT_LT(player.GetEvent(lCode, l1, l2), 0);
    EXPECT_EQ(player.GetVolume(), CPlayerBase::VOLUME_UNKNOWN);
    EXPECT_EQ(player.GetBalance(), 0);
    EXPECT_FALSE(player.Mute(true));
    EXPECT_EQ(player.GetVideoRect(), QRect());
    player.Play();
    player.SetPosition(1000);
    EXPECT_EQ(player.GetPlayState(), CPlayerBase::PS_STOPPED);
    EXPECT_EQ(player.GetDuration(), 0);
    EXPECT_EQ(player.GetPosition(), 0);

    QWidget owner;
    ASSERT_TRUE(player.Init(nullptr));
    player.SetVideoOwner(&owner);
    EXPECT_EQ(player.GetMediaState(), CPlayerBase::MS_NONE);
    // No audio stream yet: volume unknown, so mute refuses.
    EXPECT_EQ(player.GetVolume(), CPlayerBase::VOLUME_UNKNOWN);
    EXPECT_FALSE(player.Mute(true));
    EXPECT_EQ(player.GetVideoWidth(), 0);
    player.SetVideoRect(QRect(0, 0, 100, 100));
    EXPECT_EQ(player.GetVideoRect(), QRect(0, 0, 0, 0));
    ASSERT_NE(player.GetVideoWidget(), nullptr);
    EXPECT_EQ(player.GetVideoWidget()->parentWidget(), &owner);
    EXPECT_TRUE(capture.Lines().empty());
}

TEST(PlayerInit, FailsOnScreenDepthsTheVideoPathCannotServe) {
    CLogCapture capture;
    for (int nDepth : {8, 16, 24, 32}) {
        CDepthPlayer player(nDepth);
        EXPECT_TRUE(player.Init(nullptr)) << nDepth;
    }
    for (int nDepth : {0, 15, 30}) {
        CDepthPlayer player(nDepth);
        EXPECT_FALSE(player.Init(nullptr)) << nDepth;
        // A failed initialisation must not leave an open that pretends to work.
        EXPECT_FALSE(player.OpenMedia(CMediaFiles::Path("clip.mp4")));
        EXPECT_EQ(player.GetMediaState(), CPlayerBase::MS_NONE);
    }
    EXPECT_TRUE(capture.Contains("OpenMedia(): RenderFile() failed"));
}

TEST(StillImageRecognition, ByContentNotByName) {
    auto head = [](const QString &strName) {
        QFile file(CMediaFiles::Path(strName));
        file.open(QIODevice::ReadOnly);
        return file.read(4096);
    };
    EXPECT_TRUE(CStillImageDetector::IsStillImage(head("still.jpg")));
    EXPECT_TRUE(CStillImageDetector::IsStillImage(head("still.bmp")));
    EXPECT_TRUE(CStillImageDetector::IsStillImage(head("still.gif")));
    EXPECT_FALSE(CStillImageDetector::IsStillImage(head("clip.mp4")));
    EXPECT_FALSE(
        CStillImageDetector::IsStillImage(head("clip.avi"))); // frames are JPEGs, still a clip
    EXPECT_FALSE(CStillImageDetector::IsStillImage(head("corrupt.mp4")));
    EXPECT_FALSE(CStillImageDetector::IsStillImage(QByteArray()));
}
