// The real program started twice with one settings folder and one working directory: the
// playlist, its current track and its play modes from the first run are there in the second.
#include "../e2e/CTessaroProcess.h"
#include "../playback/CMediaFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <csignal>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList PathsIn(const QByteArray &m3u) {
    QStringList paths;
    for (const QByteArray &line : m3u.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith('#'))
            paths << QString::fromUtf8(trimmed);
    }
    return paths;
}

QStringList StatusNames(const QStringList &lines) {
    QStringList names;
    for (const QString &strLine : lines) {
        const QJsonObject o = QJsonDocument::fromJson(strLine.toUtf8()).object();
        if (o["type"].toString() == "status")
            names << o["name"].toString();
    }
    return names;
}

} // namespace

TEST(PlaylistRestart, EntriesCurrentTrackAndModesSurviveARestart) {
    CTessaroProcess tessaro(42270);
    // Modes other than the defaults, so a lost write would show.
    tessaro.PresetSetting("Playlist/m_LoopList", 1);
    tessaro.PresetSetting("Playlist/m_bLoopSingleTrack", 1);
    tessaro.PresetSetting("Playlist/m_AutoSkipTrack", 0);

    // The clips go in through a playlist given on the command line, in its order, each
    // probed for its title and length.
    QStringList clips;
    QByteArray m3u;
    for (const char *pszName : {"clip.ogg", "tone.wav", "clip.avi", "song.mp3"}) {
        const QString strPath = tessaro.WorkDir() + "/show-" + pszName;
        ASSERT_TRUE(QFile::copy(CMediaFiles::Path(pszName), strPath));
        clips << strPath;
        m3u += strPath.toUtf8() + "\r\n";
    }
    QFile show(tessaro.WorkDir() + "/show.m3u");
    ASSERT_TRUE(show.open(QIODevice::WriteOnly));
    show.write(m3u);
    show.close();

    ASSERT_TRUE(tessaro.Start({tessaro.WorkDir() + "/show.m3u"}));
    // The controller makes the third entry current: its open's text says when it has.
    const QString strOpened =
        tessaro.Remote({"open", ":3", "--type", "text", "-n", "1", "-t", "5000"}).join(' ');
    EXPECT_TRUE(strOpened.contains("successful")) << strOpened.toStdString();
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    ASSERT_EQ(tessaro.ExitStatus(), QProcess::NormalExit) << tessaro.Output().toStdString();

    const QByteArray first = ReadAll(tessaro.WorkDir() + "/LastPLS.dat");
    EXPECT_EQ(PathsIn(first), clips);
    // Probed lengths are kept with the entries.
    EXPECT_TRUE(first.contains("#EXTINF:2,show-clip.avi\r\n")) << first.toStdString();
    {
        QSettings conf(tessaro.ConfigFile(), QSettings::NativeFormat);
        EXPECT_EQ(conf.value("Playlist/m_CurTrack").toInt(), 2);
    }

    // Second run: the same playlist comes back and its current entry is loaded.
    ASSERT_TRUE(tessaro.Start());
    const QStringList names = StatusNames(tessaro.Remote({"listen", "-t", "1800", "-j"}));
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names.last(), "show-clip.avi");

    EXPECT_EQ(PathsIn(ReadAll(tessaro.WorkDir() + "/LastPLS.dat")), clips);
    EXPECT_EQ(ReadAll(tessaro.WorkDir() + "/LastPLS.dat"), first);
    QSettings conf(tessaro.ConfigFile(), QSettings::NativeFormat);
    EXPECT_EQ(conf.value("Playlist/m_CurTrack").toInt(), 2);
    EXPECT_EQ(conf.value("Playlist/m_LoopList").toInt(), 1);
    EXPECT_EQ(conf.value("Playlist/m_bLoopSingleTrack").toInt(), 1);
    EXPECT_EQ(conf.value("Playlist/m_AutoSkipTrack").toInt(), 0);
}
