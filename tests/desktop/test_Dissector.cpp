// The Wireshark dissector read by tshark on a capture that the project's own encoder writes:
// every datagram kind with its values, and the malformed ones (short, cut inside a field, text
// without NUL) flagged without a Lua error.
#include "remote/protocol/CNetDatagram.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <gmock/gmock.h>
#include <unistd.h>

namespace {

using ::testing::EndsWith;

QByteArray Bytes(const unsigned char *p, size_t n) {
    return QByteArray(reinterpret_cast<const char *>(p), static_cast<int>(n));
}

// A classic pcap of raw IPv4 datagrams on loopback, each with its UDP ports.
QByteArray Capture(const QList<std::tuple<QByteArray, quint16, quint16>> &datagrams) {
    QByteArray pcap;
    auto le32 = [&pcap](quint32 n) { pcap.append(reinterpret_cast<const char *>(&n), 4); };
    for (quint32 n : {0xa1b2c3d4u, 0x00040002u, 0u, 0u, 65535u, 101u /* raw IP */})
        le32(n);
    for (const auto &[payload, nSrc, nDst] : datagrams) {
        QByteArray ip(28, '\0');
        const quint16 nLength = static_cast<quint16>(28 + payload.size());
        ip[0] = 0x45;
        ip[8] = 64;
        ip[9] = 17; // UDP
        ip[12] = ip[16] = 127;
        ip[15] = ip[19] = 1;
        for (auto [nOffset, nValue] :
             {std::pair{2, nLength}, {20, nSrc}, {22, nDst}, {24, quint16(nLength - 20)}})
            qToBigEndian(nValue, ip.data() + nOffset);
        for (quint32 n : {0u, 0u, quint32(nLength), quint32(nLength)})
            le32(n);
        pcap += ip + payload;
    }
    return pcap;
}

TEST(Dissector, EveryFieldOfTheThreeKindsAndTheMalformedOnes) {
    if (QStandardPaths::findExecutable("tshark").isEmpty())
        GTEST_SKIP() << "tshark is not installed: the dissector is not tested";
    unsigned char open[CNetDatagram::COMMAND_SIZE], seek[CNetDatagram::COMMAND_SIZE];
    CNetDatagram::EncodeCommand(open, {1, CNetDatagram::CMD_OPEN, 0}, "/show/clip b.mp4");
    CNetDatagram::EncodeCommand(seek, {0, CNetDatagram::CMD_SEEK, 12345}, "");
    unsigned char status[CNetDatagram::MESSAGE_SIZE], text[CNetDatagram::MESSAGE_SIZE];
    CNetDatagram::EncodeStatus(status, {60000, 1234, 2, 80, 1}, "clip.mp4", 8);
    const char szText[] = "Player B: Playback started.\n";
    CNetDatagram::EncodeText(text, szText, sizeof szText - 1);
    QByteArray wrongMagic = Bytes(open, sizeof open);
    wrongMagic.replace(0, 4, "XXXX");
    // Cut short at and inside fields, and a full command whose text has no NUL.
    QByteArray unterminated = Bytes(open, sizeof open);
    unterminated.replace(36, 512, QByteArray(512, 'x'));
    const QByteArray tooShort = Bytes(open, 4), headerOnly = Bytes(seek, 36),
                     textHeaderOnly = Bytes(text, 28), statusCut = Bytes(status, 300);

    // tshark may refuse Lua scripts to root (its init.lua decides); as root it runs as
    // nobody here, so the files must be readable by everyone.
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(),
                          QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther);
    const QString strScript = dir.filePath("tessaro.lua"), strCapture = dir.filePath("cap.pcap");
    ASSERT_TRUE(QFile::copy(
        qEnvironmentVariable("TESSARO_SOURCE_DIR") + "/tools/wireshark/tessaro.lua", strScript));
    QFile file(strCapture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Capture({{Bytes(open, sizeof open), 40000, 31773},
                        {Bytes(seek, sizeof seek), 40000, 31773},
                        {Bytes(status, sizeof status), 40001, 31772},
                        {Bytes(text, sizeof text), 40001, 31772},
                        {Bytes(open, sizeof open - 1), 40000, 31773},
                        {wrongMagic, 40000, 31773},
                        {tooShort, 40000, 31773},
                        {headerOnly, 40000, 31773},
                        {textHeaderOnly, 40001, 31772},
                        {unterminated, 40000, 31773},
                        {statusCut, 40001, 31772}}));
    file.close();
    QFile::setPermissions(strCapture, QFile::permissions(strCapture) | QFile::ReadOther);

    auto tshark = [&](const QStringList &args) {
        QStringList all = QStringList{"-X", "lua_script:" + strScript, "-r", strCapture} + args;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir.path());
        process.setProcessEnvironment(env);
        if (geteuid() == 0)
            process.start(
                "setpriv",
                QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "tshark"} + all);
        else
            process.start("tshark", all);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        std::vector<std::string> lines;
        for (const QByteArray &line : process.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                lines.push_back(line.toStdString());
        return lines;
    };

    QStringList fields = {"-T", "fields", "-E", "separator=|"};
    for (const char *pszField : {"kind", "player", "command", "value", "text", "play_state", "type",
                                 "media_name", "duration", "position", "record.play_state",
                                 "record.media_name", "volume", "active_player"})
        fields << "-e" << QString("tessaro.") + pszField;
    const std::vector<std::string> values = tshark(fields << "-e"
                                                          << "_ws.expert.message");
    ASSERT_EQ(values.size(), 11u);
    EXPECT_EQ(values[0], "Command|1|10|0|/show/clip b.mp4||||||||||");
    EXPECT_EQ(values[1], "Command|0|11|12345|||||||||||");
    EXPECT_EQ(values[2], "Status|||||2|0|clip.mp4|60000|1234|2|clip.mp4|80|1|");
    EXPECT_EQ(values[3], "Text||||Player B: Playback started.\\n||3||||||||");
    EXPECT_EQ(values[4], "Command|1|10|0|||||||||||Wrong datagram length: 547 bytes, expected 548,"
                         "Datagram ends inside field text (bytes 36..547 of 547)");
    EXPECT_THAT(values[5], EndsWith("|Wrong magic: \"XXXX\", expected \"WTRX\""));
    EXPECT_THAT(values[6], EndsWith("|Wrong datagram length: 4 bytes, expected 548,"
                                    "Datagram ends inside field player (bytes 4..7 of 4)"));
    EXPECT_EQ(values[7], "Command|0|11|12345|||||||||||Wrong datagram length: 36 bytes, expected "
                         "548,Datagram ends inside field text (bytes 36..547 of 36)");
    EXPECT_EQ(values[8], "Text||||||3||||||||Wrong datagram length: 28 bytes, expected 540,"
                         "Datagram ends inside field text (bytes 28..539 of 28)");
    EXPECT_EQ(values[9], "Command|1|10|0|" + std::string(512, 'x') +
                             "||||||||||text has no NUL within its 512 bytes; the player reads it "
                             "to the field's end");
    EXPECT_EQ(values[10],
              "Status|||||2|0|clip.mp4|60000|1234|2||||Wrong datagram length: 300 bytes, "
              "expected 540,Datagram ends inside field record_media_name (bytes "
              "296..423 of 300)");

    // Fixed-length reads: the magic of a Player B command is the four bytes, so a display
    // filter finds every well-formed command; nothing throws a Lua error.
    EXPECT_EQ(tshark({"-Y", "tessaro.magic == \"WTRX\""}).size(), 6u);
    for (const std::string &line : tshark({"-V"}))
        EXPECT_EQ(line.find("Lua Error"), std::string::npos) << line;

    // The value strings name the commands, players and play states.
    const std::vector<std::string> summary = tshark({});
    ASSERT_EQ(summary.size(), 11u);
    EXPECT_THAT(summary[0], EndsWith("Command Open, Player B: /show/clip b.mp4"));
    EXPECT_THAT(summary[1], EndsWith("Command Seek, Player A 12345"));
    EXPECT_THAT(summary[2], EndsWith("Status Playing, Player B, clip.mp4 1234/60000 ms"));
    EXPECT_THAT(summary[3], EndsWith("Text: Player B: Playback started."));
}

} // namespace
