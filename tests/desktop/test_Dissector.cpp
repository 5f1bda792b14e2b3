// The Wireshark dissector read by tshark on a capture that the project's own encoder writes:
// every datagram kind with its values, and the malformed ones flagged.
#include "remote/protocol/CNetDatagram.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using ::testing::EndsWith;

// A classic pcap of raw IPv4 datagrams from and to loopback.
class CCaptureFile {
public:
    CCaptureFile() {
        Put32(0xa1b2c3d4);
        Put16(2);
        Put16(4);
        Put32(0);
        Put32(0);
        Put32(65535);
        Put32(101); // raw IP
    }
    void Add(const QByteArray &payload, uint16_t nSrcPort, uint16_t nDstPort) {
        QByteArray ip(28, '\0');
        auto be16 = [&ip](int nOffset, uint16_t n) { qToBigEndian(n, ip.data() + nOffset); };
        ip[0] = 0x45;
        be16(2, static_cast<uint16_t>(28 + payload.size()));
        ip[8] = 64;
        ip[9] = 17; // UDP
        for (int i : {12, 16}) {
            ip[i] = 127;
            ip[i + 3] = 1;
        }
        be16(20, nSrcPort);
        be16(22, nDstPort);
        be16(24, static_cast<uint16_t>(8 + payload.size()));
        Put32(m_nPackets++);
        Put32(0);
        Put32(static_cast<uint32_t>(ip.size() + payload.size()));
        Put32(static_cast<uint32_t>(ip.size() + payload.size()));
        m_data += ip + payload;
    }
    bool Write(const QString &strPath) const {
        QFile file(strPath);
        return file.open(QIODevice::WriteOnly) && file.write(m_data) == m_data.size();
    }

private:
    void Put32(uint32_t n) { m_data.append(reinterpret_cast<const char *>(&n), 4); }
    void Put16(uint16_t n) { m_data.append(reinterpret_cast<const char *>(&n), 2); }
    QByteArray m_data;
    uint32_t m_nPackets = 0;
};

QByteArray Bytes(const unsigned char *p, size_t n) {
    return QByteArray(reinterpret_cast<const char *>(p), static_cast<int>(n));
}

class DissectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("tshark").isEmpty())
            GTEST_SKIP() << "tshark is not installed: the dissector is not tested";
        // tshark may refuse Lua scripts to root (its init.lua decides); as root the test runs
        // it as nobody, so its files must be readable by everyone.
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther |
                                                QFile::ReadGroup | QFile::ExeGroup);
        m_strScript = m_dir.filePath("tessaro.lua");
        ASSERT_TRUE(
            QFile::copy(qEnvironmentVariable("TESSARO_SOURCE_DIR") + "/tools/wireshark/tessaro.lua",
                        m_strScript));
    }

    // tshark's output for the capture, one line a packet.
    QStringList Tshark(const CCaptureFile &capture, const QStringList &args) {
        const QString strCapture = m_dir.filePath("cap.pcap");
        EXPECT_TRUE(capture.Write(strCapture));
        QStringList all = {"-X", "lua_script:" + m_strScript, "-r", strCapture};
        all += args;
        QString strProgram = "tshark";
        if (geteuid() == 0) {
            all = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "tshark"} + all;
            strProgram = "setpriv";
        }
        QProcess tshark;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        tshark.setProcessEnvironment(env);
        tshark.setWorkingDirectory(m_dir.path());
        tshark.start(strProgram, all);
        EXPECT_TRUE(tshark.waitForFinished(60000));
        EXPECT_EQ(tshark.exitCode(), 0) << tshark.readAllStandardError().toStdString();
        return QString::fromUtf8(tshark.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir m_dir;
    QString m_strScript;
};

TEST_F(DissectorTest, EveryFieldOfTheThreeKindsAndTheMalformedOnes) {
    unsigned char command[CNetDatagram::COMMAND_SIZE];
    CNetDatagram::EncodeCommand(command, {1, CNetDatagram::CMD_OPEN, 0}, "/show/clip b.mp4");
    unsigned char seek[CNetDatagram::COMMAND_SIZE];
    CNetDatagram::EncodeCommand(seek, {0, CNetDatagram::CMD_SEEK, 12345}, "");
    unsigned char status[CNetDatagram::MESSAGE_SIZE];
    CNetDatagram::EncodeStatus(status, {60000, 1234, 2, 80, 1}, "clip.mp4", 8);
    unsigned char text[CNetDatagram::MESSAGE_SIZE];
    const char szText[] = "Player B: Playback started.\n";
    CNetDatagram::EncodeText(text, szText, sizeof szText - 1);

    CCaptureFile capture;
    capture.Add(Bytes(command, sizeof command), 40000, 31773);
    capture.Add(Bytes(seek, sizeof seek), 40000, 31773);
    capture.Add(Bytes(status, sizeof status), 40001, 31772);
    capture.Add(Bytes(text, sizeof text), 40001, 31772);
    capture.Add(Bytes(command, sizeof command - 1), 40000, 31773);
    QByteArray wrongMagic = Bytes(command, sizeof command);
    wrongMagic.replace(0, 4, "XXXX");
    capture.Add(wrongMagic, 40000, 31773);

    const QStringList lines = Tshark(capture, {"-T", "fields",
                                                "-E", "separator=|",
                                                "-e", "tessaro.kind",
                                                "-e", "tessaro.player",
                                                "-e", "tessaro.command",
                                                "-e", "tessaro.value",
                                                "-e", "tessaro.text",
                                                "-e", "tessaro.play_state",
                                                "-e", "tessaro.type",
                                                "-e", "tessaro.media_name",
                                                "-e", "tessaro.duration",
                                                "-e", "tessaro.position",
                                                "-e", "tessaro.record.play_state",
                                                "-e", "tessaro.record.media_name",
                                                "-e", "tessaro.volume",
                                                "-e", "tessaro.active_player",
                                                "-e", "_ws.expert.message"});
    std::vector<std::string> fields;
    for (const QString &strLine : lines)
        fields.push_back(strLine.toStdString());
    ASSERT_EQ(fields.size(), 6u) << lines.join('\n').toStdString();
    EXPECT_EQ(fields[0], "Command|1|10|0|/show/clip b.mp4||||||||||");
    EXPECT_EQ(fields[1], "Command|0|11|12345|||||||||||");
    EXPECT_EQ(fields[2], "Status|||||2|0|clip.mp4|60000|1234|2|clip.mp4|80|1|");
    EXPECT_EQ(fields[3], "Text||||Player B: Playback started.\\n||3||||||||");
    EXPECT_THAT(fields[4], EndsWith("|Wrong datagram length: 547 bytes, expected 548"));
    EXPECT_THAT(fields[5], EndsWith("|Wrong magic: \"XXXX\", expected \"WTRX\""));

    // The value strings name commands, players and play states.
    const QString strSummary = Tshark(capture, {}).join('\n');
    EXPECT_TRUE(strSummary.contains("Command Open, Player B: /show/clip b.mp4"));
    EXPECT_TRUE(strSummary.contains("Command Seek, Player A 12345"));
    EXPECT_TRUE(strSummary.contains("Status Playing, Player B, clip.mp4 1234/60000 ms"));
    EXPECT_TRUE(strSummary.contains("Text: Player B: Playback started."));
}

} // namespace
