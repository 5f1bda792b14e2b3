// Reading and writing playlist files: the format quirks, exact output bytes, and that a
// failed or interrupted save never damages the file it replaces.
#include "CPlaylistFixture.h"
#include "playlist/CPlaylistReader.h"
#include "playlist/CPlaylistWriter.h"
#include "support/CDeviceNode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Item {
    int nLength;
    std::string path;
    std::string title;
    bool operator==(const Item &o) const {
        return nLength == o.nLength && path == o.path && title == o.title;
    }
};

void PrintTo(const Item &item, std::ostream *os) {
    *os << "{" << item.nLength << ", '" << item.path << "', '" << item.title << "'}";
}

std::vector<Item> ItemsOf(const CPlaylistReader &reader) {
    std::vector<Item> items;
    for (const CPlaylistItem &item : reader.GetItems())
        items.push_back(
            {item.m_nLength, item.m_strPath.toStdString(), item.m_strTitle.toStdString()});
    return items;
}

} // namespace

class PlaylistFiles : public CPlaylistFixture {};

TEST_F(PlaylistFiles, M3uReadingQuirks) {
    const QString strPath = WriteFile("quirks.m3u", "#EXTM3U\r\n"
                                                    "#EXTINF:200,Artist: Song\r\n"
                                                    "song.mp3\r\n"
                                                    "#extinf:10,lower\n"
                                                    "/abs/lower.mp3\n"
                                                    "   \n"
                                                    "  spaced.mp3  \n"
                                                    "# a comment\n"
                                                    "with#hash.mp3\n"
                                                    "#EXTINF:-1,Stream\n"
                                                    "stream.mp3\n"
                                                    "junk #EXTINF:5,Middle\n"
                                                    "# taken as the path\n"
                                                    "#EXTINF:,OnlyTitle\n"
                                                    "t.mp3\n"
                                                    "plain.mp3\n"
                                                    "#EXTINF:7,Last");
    CPlaylistReader reader;
    ASSERT_TRUE(reader.Load(strPath));
    EXPECT_EQ(reader.GetFormat(), CPlaylistReader::FORMAT_M3U);
    const std::vector<Item> expected = {
        {200, "song.mp3", "Artist"},
        {10, "/abs/lower.mp3", "lower"},
        {0, "  spaced.mp3  ", ""},
        {0, "stream.mp3", "Stream"},
        {5, "# taken as the path", "Middle"},
        // Empty fields vanish between separators, so the title lands in the length field.
        {0, "t.mp3", ""},
        {0, "plain.mp3", ""},
    };
    EXPECT_EQ(ItemsOf(reader), expected);
}

TEST_F(PlaylistFiles, PlsReadingQuirks) {
    const QString strPath = WriteFile("quirks.pls", "[playlist]\r\n"
                                                    "file3=c.mp3\r\n"
                                                    "File0=zero.mp3\n"
                                                    "Title2=orphan title\n"
                                                    "Length2=50\n"
                                                    "File1=a=b.mp3\n"
                                                    "Title1=First One\n"
                                                    "Length1=-5\n"
                                                    "Length3=42\n"
                                                    "File5=  Spaced Case.MP3\n"
                                                    "File7=early.mp3\n"
                                                    "File7=late.mp3\n"
                                                    "=novalue\n"
                                                    "File8=\n"
                                                    "File2000000000=huge.mp3\n"
                                                    "NumberOfEntries=3\n"
                                                    "Version=2\n");
    CPlaylistReader reader;
    ASSERT_TRUE(reader.Load(strPath));
    EXPECT_EQ(reader.GetFormat(), CPlaylistReader::FORMAT_PLS);
    const std::vector<Item> expected = {
        {0, "a", "First One"}, {42, "c.mp3", ""},   {0, "  Spaced Case.MP3", ""},
        {0, "late.mp3", ""},   {0, "huge.mp3", ""},
    };
    EXPECT_EQ(ItemsOf(reader), expected);
}

TEST_F(PlaylistFiles, FormatFollowsTheFileName) {
    CPlaylistReader reader;
    EXPECT_FALSE(reader.Load(Dir() + "/missing.m3u"));
    EXPECT_EQ(reader.GetError(), "") << "a file that is not there is not reported";

    // An unknown ending reads nothing on a fresh reader, and keeps the last format after.
    const QString strOther = WriteFile("list.txt", "x.mp3\n");
    EXPECT_FALSE(reader.Load(strOther));
    ASSERT_TRUE(reader.Load(WriteFile("LastPLS.dat", "#EXTM3U\r\n/a.mp3\r\n")));
    EXPECT_EQ(reader.GetFormat(), CPlaylistReader::FORMAT_M3U);
    ASSERT_TRUE(reader.Load(strOther));
    EXPECT_EQ(ItemsOf(reader), (std::vector<Item>{{0, "x.mp3", ""}}));
    ASSERT_TRUE(reader.Load(WriteFile("UPPER.PLS", "File1=p.mp3\n")));
    EXPECT_EQ(ItemsOf(reader), (std::vector<Item>{{0, "p.mp3", ""}}));
}

TEST_F(PlaylistFiles, ReadErrorIsReportedAndAddsNothing) {
    // Reading the process's own memory file at offset 0 fails with an I/O error.
    const QString strPath = Dir() + "/broken.m3u";
    ASSERT_TRUE(QFile::link("/proc/self/mem", strPath));
    CPlaylistReader reader;
    EXPECT_FALSE(reader.Load(strPath));
    EXPECT_TRUE(
        reader.GetError().startsWith("Cannot read the playlist file \"" + strPath + "\":\n"));

    // The operator hears of it; any other caller leaves it to the logbook.
    m_pList->AddPlayList(strPath, -1);
    EXPECT_EQ(m_pList->GetItemCount(), 0);
    EXPECT_EQ(m_errors, QStringList{reader.GetError()});
    m_pList->OpenPlaylist(strPath, false);
    EXPECT_EQ(m_errors.size(), 1);
}

// A pipe, a device or a huge file under a playlist's name is refused without waiting or
// reading it; at shut-down such a thing under "LastPLS.dat" makes way for the list.
TEST_F(PlaylistFiles, OnlyRegularFilesOfASaneSizeAreReadOrWritten) {
    const QString strFifo = Dir() + "/pipe.m3u";
    ASSERT_EQ(mkfifo(QFile::encodeName(strFifo).constData(), 0600), 0);
    // A link to a device of the test's own, where one can be made.
    const QString strDevice = Dir() + "/zero";
    const bool bDevice = CDeviceNode::MakeZero(strDevice);
    const QString strZero = Dir() + "/zero.m3u";
    ASSERT_TRUE(QFile::link(bDevice ? strDevice : strFifo, strZero));
    QFile huge(Dir() + "/huge.m3u");
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(CPlaylistReader::MAX_FILE_SIZE + 1)); // sparse: costs no disk
    huge.close();
    const QString strLinked = Dir() + "/linked.m3u";
    ASSERT_TRUE(QFile::link(WriteFile("real.m3u", "/a.mp3\n"), strLinked));

    CPlaylistReader reader;
    EXPECT_FALSE(reader.Load(strFifo));
    EXPECT_FALSE(reader.Load(strZero));
    EXPECT_FALSE(reader.Load(huge.fileName()));
    EXPECT_TRUE(m_log.Contains("CPlaylistReader::Load(): File larger than 64 MB, not read: " +
                               huge.fileName().toStdString()));
    EXPECT_TRUE(m_log.Contains("Not a regular file, not read: " + strZero.toStdString()));
    EXPECT_TRUE(reader.Load(strLinked)) << "a link to a playlist is read";
    EXPECT_EQ(reader.GetItems().size(), 1u);

    // Saving never writes into a pipe nor through a link to one.
    const QString strFifoLink = Dir() + "/to-pipe.m3u";
    ASSERT_TRUE(QFile::link(strFifo, strFifoLink));
    AddNamed({"one"});
    m_pList->SavePlaylist(strFifo);
    m_pList->SavePlaylist(strFifoLink);
    EXPECT_EQ(m_errors.size(), 2);
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(strFifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_TRUE(QFileInfo(strFifoLink).isSymLink());

    const QString strLast = Dir() + "/LastPLS.dat";
    ASSERT_EQ(mkfifo(QFile::encodeName(strLast).constData(), 0600), 0);
    m_pList->SaveSettings();
    EXPECT_TRUE(ReadFile(strLast).startsWith("#EXTM3U\r\n#EXTINF:60,one\r\n"));
    EXPECT_EQ(m_errors.size(), 2) << "no question holds up the shut-down";
    for (const auto &line : m_log.Lines())
        EXPECT_EQ(line.level, CLogBook::LEVEL_INFO) << line.text;
    if (!bDevice)
        GTEST_SKIP() << "the link led to a pipe, not a device: " << CDeviceNode::SKIP_MESSAGE;
}

TEST(ParseLength, ReadsClockTexts) {
    EXPECT_EQ(CPlaylistWriter::ParseLength("12"), -1);
    EXPECT_EQ(CPlaylistWriter::ParseLength(""), -1);
    EXPECT_EQ(CPlaylistWriter::ParseLength("1:02:03.5"), 3723500);
    EXPECT_EQ(CPlaylistWriter::ParseLength("1:02"), 62000);
    EXPECT_EQ(CPlaylistWriter::ParseLength(" 0:03:25"), 205000);
    EXPECT_EQ(CPlaylistWriter::ParseLength("0:00:01,25"), 1250);
    EXPECT_EQ(CPlaylistWriter::ParseLength("0:00:01.2345"), 1234);
    EXPECT_EQ(CPlaylistWriter::ParseLength("1:2:3:4"), 3723000);
    EXPECT_EQ(CPlaylistWriter::ParseLength("99999999999:0:0"), INT_MAX);
}

TEST_F(PlaylistFiles, WritesBothFormatsByteForByte) {
    const auto write = [&](int nFormat, const QString &strName) {
        CPlaylistWriter writer;
        writer.SetFormat(nFormat);
        writer.SetFormat(7); // ignored
        const QString strPath = Dir() + "/" + strName;
        EXPECT_TRUE(writer.BeginFile(strPath));
        writer.WriteEntry("/show/intro.mpg", "Intro", " 0:01:05");
        writer.WriteEntry("", "Ghost", " 0:00:10"); // not written, not counted
        writer.WriteEntry("/show/loop.avi", "", " 0:02:00");
        writer.WriteEntry("/show/still.jpg", "still.jpg", "0:00:00");
        writer.WriteEntry("/show/short.wav", "Short", " 0:00:00");
        EXPECT_TRUE(writer.EndFile());
        EXPECT_EQ(writer.GetError(), "");
        return ReadFile(strPath);
    };
    EXPECT_EQ(write(CPlaylistWriter::FORMAT_M3U, "x.m3u"), QByteArray("#EXTM3U\r\n"
                                                                      "#EXTINF:65,Intro\r\n"
                                                                      "/show/intro.mpg\r\n"
                                                                      "/show/loop.avi\r\n"
                                                                      "/show/still.jpg\r\n"
                                                                      "/show/short.wav\r\n"));
    EXPECT_EQ(write(CPlaylistWriter::FORMAT_PLS, "x.pls"), QByteArray("[playlist]\r\n"
                                                                      "File1=/show/intro.mpg\r\n"
                                                                      "Title1=Intro\r\n"
                                                                      "Length1=65\r\n"
                                                                      "File2=/show/loop.avi\r\n"
                                                                      "File3=/show/still.jpg\r\n"
                                                                      "File4=/show/short.wav\r\n"
                                                                      "NumberOfEntries=4\r\n"
                                                                      "Version=2\r\n"));
}

TEST_F(PlaylistFiles, LineBreaksCannotSplitAnEntry) {
    CPlaylistWriter writer;
    const QString strPath = Dir() + "/breaks.m3u";
    ASSERT_TRUE(writer.BeginFile(strPath));
    writer.WriteEntry("/a.mp3", "two\nlines", " 0:00:05");
    writer.WriteEntry("/b\n.mp3", "b", " 0:00:05");
    ASSERT_TRUE(writer.EndFile());
    EXPECT_EQ(ReadFile(strPath), QByteArray("#EXTM3U\r\n#EXTINF:5,two lines\r\n/a.mp3\r\n"));
    EXPECT_TRUE(m_log.Contains("Path with a line break skipped"));
}

TEST_F(PlaylistFiles, UncreatableFileIsReported) {
    CPlaylistWriter writer;
    EXPECT_FALSE(writer.BeginFile(Dir() + "/no/such/folder/x.m3u"));
    const QString strError = writer.GetError();
    writer.WriteEntry("/a.mp3", "", "");
    EXPECT_FALSE(writer.EndFile());
    EXPECT_TRUE(strError.startsWith("Cannot create the playlist file \"" + Dir() +
                                    "/no/such/folder/x.m3u\":\n"));
    EXPECT_EQ(writer.GetError(), strError);
    EXPECT_FALSE(QFile::exists(Dir() + "/no"));
}

// A folder that takes no new files (for an ordinary user: root writes anywhere) holding a
// playlist that is itself writable: the save goes in place instead of failing.
TEST_F(PlaylistFiles, WritableFileInAReadOnlyFolderIsSavedInPlace) {
    const QString strPath = WriteFile("locked/show.m3u", "old\r\n");
    const uid_t nSelf = geteuid();
    const uid_t nUser = nSelf == 0 ? 65534 : nSelf;
    ASSERT_EQ(chmod(QFile::encodeName(Dir()).constData(), 0755), 0);
    ASSERT_EQ(chown(QFile::encodeName(strPath).constData(), nUser, gid_t(-1)), 0);
    const QByteArray folder = QFile::encodeName(Dir() + "/locked");
    ASSERT_EQ(chmod(folder.constData(), 0555), 0);
    ASSERT_EQ(seteuid(nUser), 0);
    CPlaylistWriter writer;
    const bool bBegun = writer.BeginFile(strPath);
    writer.WriteEntry("/a.mp3", "", "");
    const bool bEnded = writer.EndFile();
    ASSERT_EQ(seteuid(nSelf), 0);
    chmod(folder.constData(), 0755);
    EXPECT_TRUE(bBegun && bEnded);
    EXPECT_EQ(ReadFile(strPath), QByteArray("#EXTM3U\r\n/a.mp3\r\n"));
    EXPECT_EQ(writer.GetError(), "");
}

// A full disk, made real by a file-size limit on this process: the save fails with one
// message and the playlist saved before is still whole.
TEST_F(PlaylistFiles, FailedWriteKeepsThePreviousFile) {
    AddNamed({"one", "two", "three"});
    const QString strPath = Dir() + "/show.m3u";
    m_pList->SavePlaylist(strPath);
    const QByteArray previous = ReadFile(strPath);
    ASSERT_TRUE(previous.startsWith("#EXTM3U"));
    m_recent.Remove(0);

    for (int i = 0; i < 2000; ++i)
        m_pList->AddEntry(Dir() + "/one.mp3", -1, QString("Title %1").arg(i), " 0:00:09");

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    m_pList->SavePlaylist(strPath);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(ReadFile(strPath), previous);
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_errors[0].startsWith("Cannot write the playlist file \"" + strPath + "\":\n"));
    EXPECT_TRUE(m_log.Contains("): Cannot write " + strPath.toStdString()));
    EXPECT_TRUE(m_recent.GetEntries().isEmpty()) << "a failed save is no recent file";
    const QStringList leftovers = QDir(Dir()).entryList({"show.m3u*"}, QDir::Files);
    EXPECT_EQ(leftovers, QStringList{"show.m3u"});
}

// Runs only as the child of the test below: starts "LastPLS.dat" and dies half-way.
TEST(PlaylistCrashChild, DISABLED_DiesWhileWriting) {
    const QString strPath = qEnvironmentVariable("TESSARO_CRASH_TARGET");
    ASSERT_FALSE(strPath.isEmpty());
    CPlaylistWriter writer;
    ASSERT_TRUE(writer.BeginFile(strPath));
    for (int i = 0; i < 20000; ++i)
        writer.WriteEntry(QString("/media/clip%1.mp3").arg(i), "Clip", " 0:00:30");
    std::printf("written %d\n", writer.GetEntryCount());
    std::fflush(stdout);
    std::raise(SIGKILL);
}

TEST_F(PlaylistFiles, KilledWriterKeepsThePreviousFile) {
    AddNamed({"alpha", "beta"});
    m_pList->SaveSettings();
    const QString strPath = m_pList->GetLastPlaylistPath();
    const QByteArray previous = ReadFile(strPath);
    ASSERT_TRUE(previous.contains("alpha.mp3"));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TESSARO_CRASH_TARGET", strPath);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests",
                 "--gtest_filter=PlaylistCrashChild.DISABLED_DiesWhileWriting"});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    EXPECT_TRUE(child.readAllStandardOutput().contains("written 20000"));
    EXPECT_EQ(ReadFile(strPath), previous);

    // The next start reads the previous list.
    MakeList();
    m_pList->LoadSettings();
    EXPECT_EQ(Names(), (QStringList{"alpha", "beta"}));
}
