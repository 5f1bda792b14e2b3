#include "core/CLogBook.h"
#include "core/CLogFile.h"
#include "support/CLogCapture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

// The visible lines in reading order, as the logbook window shows them.
std::vector<std::string> Shown(const CLogBook &log) {
    std::vector<std::string> v;
    for (int i = 0; i < log.GetLineCount(); ++i)
        if (*log.GetLineText(i))
            v.push_back(log.GetLineText(i));
    return v;
}

TEST(LogBook, UnterminatedMessageStaysOnCurrentLineAndIsShownFirst) {
    CLogBook log(500, 256);
    log.AddMessage(1, "first\n");
    log.AddMessage(1, "open ");
    log.AddMessage(2, "end");
    EXPECT_EQ(Shown(log), (std::vector<std::string>{"open end", "first"}));
    EXPECT_EQ(log.GetDisplayLevel(0), 2);
}

TEST(LogBook, LongWordIsCutToOneFullLine) {
    CLogBook log(500, 256);
    const std::string word(300, 'x');
    log.AddMessage(1, word.c_str());
    ASSERT_EQ(Shown(log).size(), 1u);
    EXPECT_EQ(Shown(log)[0], std::string(255, 'x'));
}

TEST(LogBook, RingKeepsTheLast499MessagesOldestFirst) {
    CLogBook log(500, 256);
    for (int i = 0; i < 600; ++i)
        log.AddMessage(1, ("msg " + std::to_string(i) + "\n").c_str());
    const auto shown = Shown(log);
    ASSERT_EQ(shown.size(), 499u);
    EXPECT_EQ(shown.front(), "msg 101");
    EXPECT_EQ(shown.back(), "msg 599");
}

TEST(LogBook, WordsWrapAtLineBoundaryAndCarryTheirBlanks) {
    CLogBook log(500, 256);
    const std::string a(200, 'a'), b(100, 'b');
    log.AddMessage(1, (a + " ").c_str());
    log.AddMessage(1, (b + "\n").c_str());
    // The second word no longer fits behind the first and moves to a fresh line.
    EXPECT_EQ(Shown(log), (std::vector<std::string>{a + " ", b}));
}

TEST(LogBook, MessageIsCutBeforeItsLineBreak) {
    CLogBook log(500, 256);
    const std::string a(200, 'a'), b(100, 'b');
    log.AddMessage(1, (a + " " + b + "\n").c_str());
    // Cut at 255 characters the line break is lost and the rest of b (54 characters) no
    // longer fits behind a: it wraps and stays on the current line, which is shown first.
    EXPECT_EQ(Shown(log), (std::vector<std::string>{std::string(54, 'b'), a + " "}));
}

TEST(LogBook, CarriageReturnsAreDroppedAndEveryLineGetsTheLevel) {
    CLogBook log(500, 256);
    log.AddMessage(2, "one\r\ntwo\n");
    EXPECT_EQ(Shown(log), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(log.GetDisplayLevel(498), 2);
    EXPECT_EQ(log.GetDisplayLevel(499), 2);
    EXPECT_EQ(log.GetDisplayLevel(0), 0); // the fresh current line
}

TEST(LogBook, ChangedFlagFollowsWrites) {
    CLogBook log(500, 256);
    EXPECT_TRUE(log.IsChanged());
    log.ClearChanged();
    EXPECT_FALSE(log.IsChanged());
    log.AddMessage(1, "x\n");
    EXPECT_TRUE(log.IsChanged());
}

TEST(LogFunctions, FormatWithPrintfRulesAndStoreResultLiterally) {
    CLogCapture capture;
    LogMsg("Opening %s\n", "file%s%d.mp4");
    LogError("code %d\n", 42);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "Opening file%s%d.mp4");
    EXPECT_EQ(lines[0].level, 1);
    EXPECT_EQ(lines[1].text, "code 42");
    EXPECT_EQ(lines[1].level, 2);
}

// A remote text with a line break must not start a line of its own that reads like the
// program's: every control character stays visible, escaped, on the line it came in.
TEST(LogFunctions, ARemoteTextStaysOnItsLineEscaped) {
    CLogCapture capture;
    LogMsg("Message \"%s\" ignored.\n",
           LogSafe(QString::fromUtf8("a\nCMainFrame::Fake(): done\r\t\x1b[1m\\x\u2028\u00e9"))
               .constData());
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text,
              "Message \"a\\nCMainFrame::Fake(): done\\r\\t\\x1B[1m\\\\x\\u2028\xc3\xa9\" "
              "ignored.");
    EXPECT_EQ(LogSafe(QString(300, 'x'), 120), QByteArray(120, 'x') + "...");
}

TEST(LogFunctions, WithoutALogNothingHappens) {
    CLogBook *pPrevious = GetLogBook();
    SetLogBook(nullptr);
    LogMsg("lost %d\n", 1); // must simply not crash
    SetLogBook(pPrevious);
}

TEST(LogBook, OutOfRangeLevelIsShownAsEmptyLevel) {
    CLogBook log(500, 256);
    log.AddMessage(7, "odd\n");
    EXPECT_EQ(log.GetDisplayLevel(499), 0);
}

// The file gets every finished line with its date, time and level, the text as written; at the
// limit it rotates, the oldest going beyond the number kept; read back, its end gives the lines
// before the ones the log still holds, across a rotation.
TEST(LogFile, KeepsEveryLineWithItsTimeRotatesAtTheLimitAndReadsBackItsEnd) {
    QTemporaryDir dir;
    const QString strPath = CLogFile::PathFor(dir.filePath("Tessaro.conf"));
    EXPECT_EQ(strPath, dir.filePath("tessaro.log"));
    CLogFile file(strPath, 400, 2);
    QString strReason;
    ASSERT_TRUE(file.Open(&strReason)) << strReason.toStdString();
    EXPECT_EQ(QFile::permissions(strPath) & (QFile::ReadOther | QFile::ReadGroup), 0);
    CLogBook log(500, 256);
    log.AddSink(&file);
    for (int i = 0; i < 40; ++i)
        log.AddMessage(i % 2 ? CLogBook::LEVEL_ERROR : CLogBook::LEVEL_INFO,
                       qPrintable(QString("line %1 with 100%s in it\n").arg(i)));
    log.AddMessage(CLogBook::LEVEL_INFO, "unfinished");

    EXPECT_TRUE(QFile::exists(strPath + ".1"));
    EXPECT_TRUE(QFile::exists(strPath + ".2"));
    EXPECT_FALSE(QFile::exists(strPath + ".3")) << "only two are kept";
    for (const QString &strName : {strPath, strPath + ".1", strPath + ".2"})
        EXPECT_LE(QFileInfo(strName).size(), 400) << strName.toStdString();
    QFile current(strPath);
    ASSERT_TRUE(current.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = current.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} error line 39 with )"
                                   R"(100%s in it$)")
                    .match(QString::fromLatin1(lines[lines.size() - 2]))
                    .hasMatch())
        << lines[lines.size() - 2].toStdString();
    EXPECT_FALSE(current.readAll().contains("unfinished")) << "not finished yet";

    // The last 3 lines are the log's own; the 6 before them come from both files.
    const std::vector<CLogFile::Line> tail = file.ReadTail(3, 6);
    ASSERT_EQ(tail.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tail[size_t(i)].text, QString("line %1 with 100%s in it").arg(31 + i).toUtf8());
        EXPECT_EQ(tail[size_t(i)].nLevel,
                  (31 + i) % 2 ? CLogBook::LEVEL_ERROR : CLogBook::LEVEL_INFO);
        EXPECT_GT(tail[size_t(i)].nTimeMs, 0);
    }
}

TEST(LogFile, RefusesALinkInItsPlace) {
    QTemporaryDir dir;
    const QString strPath = dir.filePath("tessaro.log");
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), strPath));
    CLogFile file(strPath);
    QString strReason;
    EXPECT_FALSE(file.Open(&strReason));
    EXPECT_FALSE(strReason.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("elsewhere")));
}

// With the echo on, stderr gets each line once, the syslog priority in front, as journald and
// sd-daemon read it; the text stays as written.
TEST(LogFunctions, EchoWritesJournalLinesToStderr) {
    QTemporaryDir dir;
    const QByteArray name = QFile::encodeName(dir.filePath("stderr"));
    fflush(stderr);
    const int nSaved = ::dup(STDERR_FILENO);
    FILE *pFile = fopen(name.constData(), "w");
    ASSERT_NE(pFile, nullptr);
    ::dup2(fileno(pFile), STDERR_FILENO);
    {
        CLogCapture capture;
        SetLogEcho(true);
        LogMsg("Opening %s\n", "red.mp4");
        LogError("InitServer(): Server socket not created.\ntwo lines\n");
        SetLogEcho(false);
        LogMsg("not echoed\n");
    }
    fflush(stderr);
    ::dup2(nSaved, STDERR_FILENO);
    ::close(nSaved);
    fclose(pFile);
    QFile written(dir.filePath("stderr"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), "<6>Opening red.mp4\n"
                                               "<3>InitServer(): Server socket not created.\n"
                                               "<3>two lines\n");
}

} // namespace
