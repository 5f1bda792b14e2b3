// The real program under a burst of open commands that name no playable media: a named pipe,
// a device, a folder, damaged files and an overlong path. After each it must still answer a
// volume command within a second, and its status datagrams must keep their period.
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "remote/protocol/CNetDatagram.h"
#include "support/CDeviceNode.h"

#include <QElapsedTimer>
#include <QUdpSocket>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class CController {
public:
    explicit CController(const CTessaroProcess &tessaro) : m_tessaro(tessaro) {
        m_bBound = m_listener.bind(QHostAddress::LocalHost, tessaro.StatusPort());
        m_clock.start();
    }
    bool IsBound() const { return m_bBound; }

    void Send(int32_t nCode, int32_t nValue, const QByteArray &text) {
        unsigned char packet[CNetDatagram::COMMAND_SIZE];
        CNetDatagram::EncodeCommand(packet, {0, nCode, nValue}, text.constData());
        m_sender.writeDatagram(reinterpret_cast<const char *>(packet), sizeof packet,
                               QHostAddress::LocalHost, quint16(m_tessaro.CommandPort()));
    }
    // Reads datagrams until a text starting with strPrefix came or the time ran out; status
    // datagrams met on the way have their arrival noted.
    bool WaitForText(const std::string &strPrefix, int nTimeoutMs) {
        const auto isText = [&](const QByteArray &data) {
            CNetDatagram::Message msg;
            if (!CDatagramWait::Decode(data, msg))
                return false;
            if (msg.nType == CNetDatagram::TYPE_STATUS)
                NoteStatus();
            return msg.nType != CNetDatagram::TYPE_STATUS && msg.strText.rfind(strPrefix, 0) == 0;
        };
        return !CDatagramWait::Until(m_listener, isText, nTimeoutMs).isEmpty();
    }
    qint64 LongestStatusGap() const { return m_nLongestGap; }

private:
    void NoteStatus() {
        const qint64 nNow = m_clock.elapsed();
        if (m_nLastStatus >= 0)
            m_nLongestGap = std::max(m_nLongestGap, nNow - m_nLastStatus);
        m_nLastStatus = nNow;
    }

    const CTessaroProcess &m_tessaro;
    QUdpSocket m_listener, m_sender;
    bool m_bBound = false;
    QElapsedTimer m_clock;
    qint64 m_nLastStatus = -1;
    qint64 m_nLongestGap = 0;
};

TEST(HostileOpen, TheProgramStaysResponsiveAfterEveryOpenThatCannotWork) {
    CTessaroProcess tessaro(42260);
    const QString strFifo = tessaro.WorkDir() + "/pipe.mp4";
    ASSERT_EQ(mkfifo(QFile::encodeName(strFifo).constData(), 0600), 0);
    const QString strDevice = tessaro.WorkDir() + "/zero.mp4";
    const bool bDevice = CDeviceNode::MakeZero(strDevice);
    ASSERT_TRUE(tessaro.Start());
    CController controller(tessaro);
    ASSERT_TRUE(controller.IsBound());

    QStringList paths = {strFifo,
                         tessaro.WorkDir(),
                         CMediaFiles::Path("truncated.mp4"),
                         CMediaFiles::Path("badftyp.mp4"),
                         CMediaFiles::Path("corrupt.mp4"),
                         "/" + QString(3999, 'x')};
    if (bDevice)
        paths << strDevice;
    int nVolume = 40;
    for (int nRound = 0; nRound < 2; ++nRound) {
        for (const QString &strPath : paths) {
            SCOPED_TRACE(strPath.left(60).toStdString());
            controller.Send(CNetDatagram::CMD_OPEN, 0, strPath.toUtf8());
            EXPECT_TRUE(controller.WaitForText("Player A: Opening Stream (", 1500));
            controller.Send(CNetDatagram::CMD_VOLUME, nVolume++, {});
            EXPECT_TRUE(controller.WaitForText("Player A: Volume set to ", 1000));
        }
    }
    // Let two more periods pass, so a stall at the end counts as well.
    controller.WaitForText("-", 3300);
    EXPECT_LE(controller.LongestStatusGap(), 1500 + 400);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    EXPECT_EQ(tessaro.ExitCode(), 0);
    if (!bDevice)
        GTEST_SKIP() << "no endless device opened: " << CDeviceNode::SKIP_MESSAGE;
}

} // namespace
